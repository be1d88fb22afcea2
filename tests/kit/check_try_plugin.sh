#!/usr/bin/env bash
# scripts/try-plugin as a plug-in author runs it: the shipped text-editor plug-in on Wine's
# notepad, in a prefix of its own. The report names the plug-in chosen and its function (by the
# dialog's text, with the figures of its dead zone), and the push of the starter trace moves
# notepad's text down. A prefix it did not make (the author's own, with settings of Glidora in
# it) is refused and stays exactly as it was. A plug-in with an author's mistakes has each setup
# that does not fit its function named once, and the class it should have matched; an empty view
# says that it cannot scroll. A list view of a program started with an argument is filled
# (--items) and scrolled, with pictures before and after where a virtual display can be had.
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
grep -q ': LinePan (Line Scroll Window), len=224 zone=0 start=61$' <<<"$out" ||
    fail "no LinePan reported for the push"
echo "try-plugin moved notepad's text from line $before to line $after"

out=$(GLO_TRY_PREFIX=$build_dir/try-plugin-prefix try --items 0 \
    "$build_dir/plugins/kit_mistaken.dll" notepad)
printf '%s\n' "$out"
[ "$(grep -c ' does not fit the function ' <<<"$out")" -eq 2 ] ||
    fail "the two setups that do not fit are not reported once each"
grep -q 'Plug-in Mistaken (kit_mistaken.dll): the setup of "Step" (motion of 2 axes: x+ z+, dead zone 0) does not fit the function "Step" (Count Steps; continuous, 1 axis)' <<<"$out" ||
    fail "the misfit of Step is not named"
grep -q 'Hint: "notepad" and the class "Notepad" differ only in letter case' <<<"$out" ||
    fail "no hint at the letter case"
grep -q '== the view under the cursor (Edit) cannot scroll: it holds 1 line' <<<"$out" ||
    fail "the empty text is not said to be unable to scroll"

rm -f "$build_dir"/try-plugin-*.png
out=$(cd "$build_dir" && GLO_TRY_PREFIX=$build_dir/try-plugin-prefix try --picture --items 100 \
    "$build_dir/plugins/glo_trees_lists.dll" "$build_dir/bin/glo_empty_view.exe" -- listview)
status=$?
printf '%s\n' "$out"
[ $status -eq 0 ] || fail "try-plugin ended with $status"
grep -q '(filled the empty view with 100 lines)' <<<"$out" || fail "the list view was not filled"
grep -q 'cannot scroll' <<<"$out" && fail "a filled list is said to be unable to scroll"
before=$(sed -n 's/.*before: SysListView32: top item \([0-9]*\),.*/\1/p' <<<"$out")
after=$(sed -n 's/.*after:  SysListView32: top item \([0-9]*\),.*/\1/p' <<<"$out")
[ -n "$before" ] && [ -n "$after" ] && [ "$after" -gt "$before" ] ||
    fail "the list did not scroll: top item $before, then $after"
if command -v Xvfb >/dev/null && command -v import >/dev/null; then
    for picture in before after; do
        [ -s "$build_dir/try-plugin-$picture.png" ] || fail "no picture $picture"
    done
else
    grep -q 'going on without pictures' <<<"$out" || fail "no word about the missing pictures"
fi
echo "try-plugin filled the list and scrolled it from item $before to item $after"
