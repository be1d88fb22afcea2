#!/usr/bin/env bash
# Every public header compiles on its own, with and without UNICODE, and declares no member
# whose name the system headers turn into an A or W variant (a plug-in built without UNICODE
# would then look for a function the core does not have).
set -u
compiler=$1 include=$2
status=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Each header alone (in parallel: compiling is the cost), then everything without UNICODE.
export compiler include scratch
check() {
    name=$(basename "$1")
    printf '#include "%s"\n' "$name" >"$scratch/$name.cpp"
    "$compiler" -std=c++17 -fsyntax-only -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN \
        -I"$include" "$scratch/$name.cpp" 2>"$scratch/$name.err" && return 0
    echo "$name does not compile on its own:"
    head -5 "$scratch/$name.err"
    return 1
}
export -f check
ls "$include"/*.h | xargs -P "$(nproc)" -I{} bash -c 'check {}' || status=1
printf '#include "GloPluginSDK.h"\n' >"$scratch/all.cpp"
if ! "$compiler" -std=c++17 -fsyntax-only -I"$include" "$scratch/all.cpp" 2>"$scratch/all.err"
then
    echo "the SDK does not compile without UNICODE:"
    head -5 "$scratch/all.err"
    status=1
fi
# The A/W names of the system headers, against the identifiers of the public headers.
aw=$(echo '#include <windows.h>' | "$compiler" -x c++ -E -dM - |
    sed -nE 's/^#define (\w+) __MINGW_NAME_AW\(\1\)$/\1/p')
for header in "$include"/*.h; do
    ids=$(grep -ohE "\b[A-Za-z_]\w+\b" "$header" | sort -u)
    for id in $(comm -12 <(printf '%s\n' "$aw" | sort -u) <(printf '%s\n' "$ids")); do
        grep -q "push_macro(\"$id\")" "$header" && continue
        echo "$(basename "$header") uses $id, which the system headers rename to ${id}A or ${id}W"
        status=1
    done
done
[ $status -eq 0 ] && echo "public headers are self-contained and independent of UNICODE"
exit $status
