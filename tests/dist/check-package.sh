#!/bin/bash
# Checks the package of the 32-bit product that scripts/dist made, as a user receives it,
# without Wine: the zip's exact entries (sorted, under one folder named after the version),
# the shipped DLLs and Tools/kestrel-explain.exe (the product's own files, 32-bit, no
# symbols, no debug sections, Kestrel.dll within 64 KiB, the program within 128 KiB and
# importing only system DLLs) and the two texts (CRLF line ends, NOTICE as in the repository).
# Usage: check-package.sh <folder scripts/dist wrote into> [<product folder it packaged>]
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:?usage: check-package.sh <dist output folder> [<product folder>]}
product=${2:-}
out=$(cd "$out" && pwd) || exit 1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0

fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

version=$("$top/scripts/dist" --version) || { echo "FAIL: no version"; exit 1; }
name=Kestrel-$version
zip=$out/$name.zip
[ -f "$zip" ] || { echo "FAIL: $zip not found"; exit 1; }
command -v "$objdump" >/dev/null || { echo "FAIL: $objdump not found"; exit 1; }

# ---- the zip's entries, in the order they are stored --------------------------------
modules=$("$top/scripts/message-modules") || { echo "FAIL: no list of the message modules"; exit 1; }
expected=$({
    echo "$name/"
    echo "$name/AddIns/"
    for file in Kestrel.dll $modules; do echo "$name/AddIns/$file"; done
    echo "$name/Tools/"
    echo "$name/Tools/kestrel-explain.exe"
    echo "$name/INSTALL.txt"
    echo "$name/NOTICE"
} | LC_ALL=C sort)
entries=$(python3 -c '
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as archive:
    bad = archive.testzip()
    if bad:
        sys.exit("bad entry " + bad)
    print("\n".join(archive.namelist()))' "$zip") || fail "the zip cannot be read"
if [ "$entries" != "$expected" ]; then
    fail "the zip holds other entries than expected:"
    diff <(echo "$expected") <(echo "$entries") | sed 's/^/    /'
fi

# ---- what a user unpacks ------------------------------------------------------------
unpacked=$(mktemp -d "$out/check.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip") || fail "the zip does not unpack"
package=$unpacked/$name

for entry in $(printf 'AddIns/%s ' Kestrel.dll $modules) Tools/kestrel-explain.exe; do
    file=${entry#*/}
    path=$package/$entry
    if [ ! -f "$path" ]; then
        fail "$file not unpacked"
        continue
    fi
    if [ -n "$product" ] && ! cmp -s "$path" "$product/$file"; then
        fail "$file differs from $product/$file"
    fi
    headers=$("$objdump" -p "$path") || { fail "$objdump cannot read $file"; continue; }
    grep -q 'file format pei-i386$' <<<"$headers" || fail "$file is not an i386 PE file"
    grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "$file is not PE32"
    grep -q 'symbols stripped' <<<"$headers" || fail "$file is not marked as stripped of symbols"
    grep -q 'debugging information removed' <<<"$headers" || fail "$file is not marked as stripped of debug information"
    grep -q '^no symbols$' < <("$objdump" -t "$path") || fail "$file has a symbol table"
    sections=$("$objdump" -h "$path" | awk '$1 ~ /^[0-9]+$/ { print $2 }' | xargs)
    case " $sections " in
    *" .debug"* | *" .zdebug"*) fail "$file has debug sections: $sections" ;;
    esac
done

program=$package/Tools/kestrel-explain.exe
if [ -f "$program" ]; then
    imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | xargs)
    for import in $imports; do
        case "$import" in
        kernel32.dll | msvcrt.dll) ;;
        *) fail "kestrel-explain.exe imports $import, which Windows does not provide" ;;
        esac
    done
    size=$(stat -c %s "$program")
    # About 60 KiB as built; a buffer that lands in the initialised data would double it.
    [ "$size" -le 131072 ] || fail "kestrel-explain.exe is $size bytes, more than 128 KiB"
    echo "kestrel-explain.exe: $size bytes (at most 131072), imports $imports"
fi

dll=$package/AddIns/Kestrel.dll
if [ -f "$dll" ]; then
    size=$(stat -c %s "$dll")
    [ "$size" -le 65536 ] || fail "Kestrel.dll is $size bytes, more than 64 KiB"
    echo "Kestrel.dll: $size bytes (at most 65536)"
fi

# ---- the texts ----------------------------------------------------------------------
for text in INSTALL.txt NOTICE; do
    path=$package/$text
    if [ ! -s "$path" ]; then
        fail "$text missing or empty"
        continue
    fi
    # Every line, the last included, ends in CR LF.
    if [ "$(tail -c 2 "$path" | od -An -tx1 | xargs)" != "0d 0a" ] || grep -q $'[^\r]$' "$path" ||
        grep -qx '' "$path"; then
        fail "$text has a line that does not end in CR LF"
    fi
done
if [ -s "$package/NOTICE" ] && ! cmp -s <(tr -d '\r' <"$package/NOTICE") "$top/NOTICE"; then
    fail "NOTICE is not the repository's NOTICE"
fi
if [ -s "$package/INSTALL.txt" ]; then
    grep -q "Kestrel $version" "$package/INSTALL.txt" || fail "INSTALL.txt does not name version $version"
    grep -q '@[A-Z]*@' "$package/INSTALL.txt" && fail "INSTALL.txt has a placeholder left: $(grep -o '@[A-Z]*@' "$package/INSTALL.txt" | head -1)"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "$name.zip: $(wc -l <<<"$entries") entries as expected; all package checks passed"
