#!/bin/bash
# Packages a build's bin folder with scripts/dist, exactly as the product is packaged, and
# unpacks the zip into a fresh, empty folder, as a user would before installing.
# Usage: unpack-package.sh <bin folder> <work folder>
#   leaves the zip in <work folder>/out and its contents in <work folder>/unpacked
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:?usage: unpack-package.sh <bin folder> <work folder>}
work=${2:?usage: unpack-package.sh <bin folder> <work folder>}

rm -rf "$work"
mkdir -p "$work/unpacked"
work=$(cd "$work" && pwd)
"$top/scripts/dist" --from "$bin" --out "$work/out" >/dev/null
zip=$work/out/Kestrel-$("$top/scripts/dist" --version).zip
# Unpacked by another zip reader than the one that wrote it.
(cd "$work/unpacked" && cmake -E tar xf "$zip")
find "$work/unpacked" | sort
