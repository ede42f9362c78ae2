#!/bin/bash
# Checks the shipped files as files: the 32-bit Kestrel.dll exports exactly the host's
# five names undecorated and imports nothing a user's Windows lacks; each message module
# is a 32-bit resource-only DLL holding a message table; and the folder holds no other DLL
# than these, so a module made outside the list in messages/counts.tsv is caught here.
# Usage: check-dll.sh <folder of the cross build's Kestrel.dll and modules>
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)

folder=${1:?usage: check-dll.sh <product folder>}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failures=0

fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The lines of one section of `objdump -p`: from the line starting with $2 to the next
# empty line.
section()
{
    awk -v start="$2" 'index($0, start) == 1 { on = 1; next } on && /^$/ { exit } on' <<<"$1"
}

# "pei-i386" format and the PE32 optional header (magic 0x10b), not PE32+.
check_pe32()
{
    local name=$1 dump=$2
    grep -q 'file format pei-i386$' <<<"$dump" || fail "$name is not an i386 PE file"
    grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$dump" || fail "$name is not PE32"
    grep -Eq '^[[:space:]]+DLL$' <<<"$dump" || fail "$name is not marked as a DLL"
}

if ! command -v "$objdump" >/dev/null; then
    echo "FAIL: $objdump not found"
    exit 1
fi
modules=$("$top/scripts/message-modules") || { echo "FAIL: no list of the message modules"; exit 1; }

# ---- Kestrel.dll ------------------------------------------------------------------
dll=$folder/Kestrel.dll
if [ ! -f "$dll" ]; then
    echo "FAIL: $dll not found"
    exit 1
fi
dump=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }
check_pe32 Kestrel.dll "$dump"

expected_exports="FrameWindowProc GetWAAddInData OutWindowProc WAAddInLoad WAAddInUnload"
exports=$(section "$dump" '[Ordinal/Name Pointer] Table' | sed -E 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]*//' | sort | xargs)
if [ "$exports" != "$expected_exports" ]; then
    fail "Kestrel.dll exports '$exports', expected exactly '$expected_exports'"
fi
case "$exports" in
*@*) fail "Kestrel.dll exports decorated names: $exports" ;;
esac

allowed_imports="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll"
imports=$(grep -E '^[[:space:]]*DLL Name:' <<<"$dump" | sed -E 's/^.*DLL Name:[[:space:]]*//' | tr 'A-Z' 'a-z' | sort -u | xargs)
[ -n "$imports" ] || fail "Kestrel.dll shows no imports at all (objdump output not understood?)"
for import in $imports; do
    case "$import" in
    libgcc* | libstdc++* | libwinpthread*) fail "Kestrel.dll imports the compiler runtime $import" ;;
    *) [[ " $allowed_imports " == *" $import "* ]] || fail "Kestrel.dll imports $import, not a Windows system DLL it may use" ;;
    esac
done

echo "Kestrel.dll: $(stat -c %s "$dll") bytes; exports: $exports; imports: $imports"

# ---- the message modules ----------------------------------------------------------
for file in $modules; do
    module=${file%.dll}
    path=$folder/$file
    before=$failures
    if [ ! -f "$path" ]; then
        fail "$module.dll not found"
        continue
    fi
    dump=$("$objdump" -p "$path") || { fail "$objdump cannot read $module.dll"; continue; }
    check_pe32 "$module.dll" "$dump"
    if grep -Eq '^[[:space:]]*DLL Name:' <<<"$dump"; then
        fail "$module.dll imports $(grep -E 'DLL Name:' <<<"$dump" | sed -E 's/^.*DLL Name:[[:space:]]*//' | xargs)"
    fi
    # Resource type 11 (message table) at the top level of the tree, with name 1 under it;
    # objdump indents each level of the tree by two more spaces.
    table=$(section "$dump" 'The .rsrc Resource Directory section:' | awk '
        /^[0-9a-f]+   Entry: ID: / { type = ($4 == "0x00000b,") ; next }
        type && /^[0-9a-f]+     Entry: ID: 0x000001,/ { found = 1 }
        END { print found ? "yes" : "no" }')
    [ "$table" = yes ] || fail "$module.dll has no message table 1"
    [ "$failures" -eq "$before" ] && echo "$module.dll: $(stat -c %s "$path") bytes, 32-bit, message table, no imports"
done

# ---- nothing else -------------------------------------------------------------------
expected=$(printf '%s\n' Kestrel.dll $modules | LC_ALL=C sort)
present=$(cd "$folder" && find . -maxdepth 1 -type f -iname '*.dll' -printf '%f\n' | LC_ALL=C sort)
if [ "$present" != "$expected" ]; then
    fail "the product folder holds other DLLs than Kestrel.dll and the modules of messages/counts.tsv:"
    diff <(echo "$expected") <(echo "$present") | sed 's/^/    /'
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all product file checks passed"
