#!/usr/bin/env bash
# scripts/try-plugin as a plug-in author runs it: the shipped text-editor plug-in on Wine's
# notepad, in a prefix of its own. The report names the plug-in chosen and its function, and the
# push of the starter trace moves notepad's text down.
set -u
source_dir=$1 build_dir=$2
out=$(GLO_BUILD_ROOT=$(dirname "$build_dir") GLO_TRY_PREFIX=$build_dir/try-plugin-prefix \
    "$source_dir/scripts/try-plugin" "$build_dir/plugins/glo_text_editor.dll" notepad 2>&1)
status=$?
printf '%s\n' "$out"
fail() { echo "FAILED: $*"; exit 1; }
[ $status -eq 0 ] || fail "try-plugin ended with $status"
before=$(sed -n 's/.*before: .*first visible line \([0-9]*\),.*/\1/p' <<<"$out")
after=$(sed -n 's/.*after: .*first visible line \([0-9]*\),.*/\1/p' <<<"$out")
[ -n "$before" ] && [ -n "$after" ] || fail "no state before and after"
[ "$after" -gt "$before" ] || fail "the text did not move down: line $before, then $after"
grep -q 'The core chooses "TextEditor"' <<<"$out" || fail "no choice of TextEditor reported"
grep -q ': LinePan$' <<<"$out" || fail "no LinePan reported for the push"
echo "try-plugin moved notepad's text from line $before to line $after"
