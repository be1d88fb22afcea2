#!/usr/bin/env bash
# scripts/try-plugin as a plug-in author runs it: the shipped text-editor plug-in on Wine's
# notepad, in a prefix of its own. The report names the plug-in chosen and its function, and the
# push of the starter trace moves notepad's text down. A prefix it did not make (the author's own,
# with settings of Glidora in it) is refused and stays exactly as it was.
set -u
source_dir=$1 build_dir=$2
fail() { echo "FAILED: $*"; exit 1; }
try() { GLO_BUILD_ROOT=$(dirname "$build_dir") "$source_dir/scripts/try-plugin" "$@" 2>&1; }

# Marked as the build's prefixes are, but not by try-plugin.
foreign=$build_dir/try-plugin-foreign
rm -rf "$foreign"
mkdir -p "$foreign/drive_c/users/author/AppData/Roaming/Glidora"
printf 'WINE REGISTRY Version 2\n"Home Directory"="C:\\\\Halcyra"\n' >"$foreign/system.reg"
echo '[Function]' >"$foreign/drive_c/users/author/AppData/Roaming/Glidora/TextEditor.cfg"
touch "$foreign/.glo-ready"
snapshot() { (cd "$foreign" && find . -printf '%p %s %T@\n' | sort); }
before=$(snapshot)
out=$(try --prefix "$foreign" "$build_dir/plugins/glo_text_editor.dll" notepad)
status=$?
[ $status -ne 0 ] || fail "try-plugin used a prefix it did not make: $out"
grep -q 'is not a prefix this script made' <<<"$out" || fail "no reason given: $out"
[ "$(snapshot)" = "$before" ] || fail "the foreign prefix changed:"$'\n'"$(diff <(echo "$before") <(snapshot))"
rm -rf "$foreign"

out=$(GLO_TRY_PREFIX=$build_dir/try-plugin-prefix try "$build_dir/plugins/glo_text_editor.dll" notepad)
status=$?
printf '%s\n' "$out"
[ $status -eq 0 ] || fail "try-plugin ended with $status"
before=$(sed -n 's/.*before: .*first visible line \([0-9]*\),.*/\1/p' <<<"$out")
after=$(sed -n 's/.*after: .*first visible line \([0-9]*\),.*/\1/p' <<<"$out")
[ -n "$before" ] && [ -n "$after" ] || fail "no state before and after"
[ "$after" -gt "$before" ] || fail "the text did not move down: line $before, then $after"
grep -q 'The core chooses "TextEditor"' <<<"$out" || fail "no choice of TextEditor reported"
grep -q ': LinePan$' <<<"$out" || fail "no LinePan reported for the push"
echo "try-plugin moved notepad's text from line $before to line $after"
