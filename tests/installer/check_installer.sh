#!/usr/bin/env bash
# The x64 package as a user and an administrator meet it, under Wine's own msiexec in a fresh
# prefix of the test's own: a silent install without a driver (layout, the value of the home,
# the tools feature added later), the installed substitute driver scrolling Wine's notepad
# through the installed core and plug-ins, a setup removed in the core's configuration dialog
# (saved in the user's file, the default beside the library untouched), repair, the upgrade to
# the next version (the user's file kept and used), a refused downgrade, the uninstall; then a
# driver installed after Glidora, whose value of the home survives repair, upgrade and uninstall,
# the install into the home of a driver that is present (named by an expandable value), and a
# driver's value the installer cannot use as a folder.
# Usage: check_installer.sh SOURCE_DIR BUILD_DIR PACKAGE NEXT_PACKAGE
set -uo pipefail
source_dir=$1 build=$2 package=$3 next_package=$4
work=$build/installer-test
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=en_US.UTF-8
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
step() { echo "== $*"; }
# Programs never keep CTest's output pipes: each gets its own streams.
run() { wine "$@" </dev/null 2>/dev/null; }
msiexec() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
query() { # KEY VALUE [VIEW]: the registry value's data, or nothing
    run reg query "$1" /v "$2" /reg:"${3:-64}" | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wine wineboot -i </dev/null >/dev/null 2>&1
run reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
wineserver -w # the desktop takes the headless display only when the prefix starts anew
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null' EXIT
wine wineboot </dev/null >/dev/null 2>&1

home="$WINEPREFIX/drive_c/Program Files/Glidora"
appdata=$(winepath -u "$(run cmd /c echo %APPDATA% | tr -d '\r')")
user_file="$appdata/Glidora/TextEditor.cfg"
shipped=(glo_text_editor glo_trees_lists glo_word_processor glo_spreadsheet glo_presentation
         glo_mail glo_browser glo_pdf_viewer glo_layout glo_generic)
office=(Geometry/cap.stl Docs/README.md Docs/plugins.md Docs/trace-format.md Docs/user-guide.md)
for p in "$source_dir"/docs/pictures/*.png; do office+=("Docs/pictures/${p##*/}"); done
for p in "${shipped[@]}"; do office+=("Plugins/$p.dll"); done
layout=(Glo_core_proxy.dll "${office[@]/#/Office/}")
tools=(glo_driver.exe glo_plugin_probe.exe glo_monitor.exe glo_cfgcheck.exe Traces/office-gesture.trace
       Traces/scroll-and-click.trace Traces/config-dialog.trace)

# FOLDER FILE...: exactly these files lie below FOLDER.
expect_files() {
    local folder=$1
    shift
    local want have
    want=$(printf '%s\n' "$@" | sort)
    have=$( (cd "$folder" 2>/dev/null && find . -type f | sed 's|^\./||') | sort)
    [ "$want" = "$have" ] || fail "files below $folder:"$'\n'"$(diff <(echo "$want") <(echo "$have"))"
}
# The installed files are the build's.
expect_build_files() {
    local folder=$1
    cmp -s "$folder/Glo_core_proxy.dll" "$build/bin/Glo_core_proxy.dll" || fail "core differs"
    cmp -s "$folder/Office/Plugins/glo_generic.dll" "$build/plugins/glo_generic.dll" ||
        fail "plug-in differs"
    cmp -s "$folder/Office/Geometry/cap.stl" "$build/home/Office/Geometry/cap.stl" ||
        fail "cap model differs"
}
# The motion setups TextEditor has loaded, as the installed core gives them (the helper runs from
# a folder of its own in the home, so that the loader takes the installed core).
helper_dir="$WINEPREFIX/drive_c/helper"
mkdir -p "$helper_dir"
cp "$build/bin/glo_installed_core.exe" "$helper_dir/"
installed_core() { # COMMAND
    (cd "$home" && wine "$helper_dir/glo_installed_core.exe" "$1" TextEditor </dev/null 2>&1 |
        tr -d '\r')
}
halcyra='HKLM\SOFTWARE\Veltrana\Halcyra'
home_value() { # type and data of the value of the home, or nothing
    run reg query "$halcyra" /v 'Home Directory' /reg:64 | tr -d '\r' |
        sed -n 's/^ *Home Directory *\(REG_[A-Z_]*\) */\1 /p'
}
# (Wine's msiexec /f takes neither a package nor a product code: the same by properties.)
repair() { msiexec /i "$(winepath -w "$1")" REINSTALL=ALL REINSTALLMODE=omus; }
products() {
    run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 |
        tr -d '\r' | sed -n 's/^ *DisplayName *REG_SZ *Glidora$/Glidora/p; s/^ *DisplayVersion *REG_SZ *//p'
}

step "silent install without a driver"
msiexec /i "$(winepath -w "$package")" || fail "install exit code $?"
expect_files "$home" "${layout[@]}"
expect_build_files "$home"
[ "$(home_value)" = 'REG_SZ C:\Program Files\Glidora\' ] || fail "home value: '$(home_value)'"
[ -z "$(query 'HKLM\SOFTWARE\Veltrana\Halcyra' 'Home Directory' 32)" ] ||
    fail "the x64 package wrote the 32-bit view"

step "the tools feature, added by an administrator"
msiexec /i "$(winepath -w "$package")" ADDLOCAL=Tools || fail "adding the tools: exit code $?"
expect_files "$home" "${layout[@]}" "${tools[@]}"

step "the installed driver, core and plug-ins scroll notepad"
document="$WINEPREFIX/drive_c/document.txt"
for n in $(seq 1 400); do printf 'Line %d of a long document\r\n' "$n"; done >"$document"
probe="$build/bin/glo_probe.exe"
run notepad "$(winepath -w "$document")" >/dev/null &
run "$probe" select Notepad 1 >/dev/null
run "$probe" focus Notepad >/dev/null
before=$(run "$probe" state Notepad | sed -n 's/.*first visible line \([0-9]*\).*/\1/p')
(cd "$home" && timeout 60 wine glo_driver.exe --log 'C:\driver.log' 'Traces\office-gesture.trace' \
    </dev/null >/dev/null 2>&1) || fail "glo_driver exit code $?"
sleep 0.5
after=$(run "$probe" state Notepad | sed -n 's/.*first visible line \([0-9]*\).*/\1/p')
run "$probe" close Notepad >/dev/null
wait
echo "   first visible line $before -> $after"
[ -n "$before" ] && [ -n "$after" ] && [ "$after" -gt "$before" ] ||
    fail "notepad did not scroll (first visible line '$before' -> '$after')"

step "a setup removed in the configuration dialog lands in the user's file"
# An administrator's default for all users, beside the library.
default_file="$home/Office/Plugins/TextEditor.cfg"
printf '[Function]\nFunction=%s\nEventType=motion\nNumberOfAxis=%d\nAxis=%d\nAxisPolarity=1\nThreshold=%d\n' \
    CursorUpDown 1 3 41 PageDown 0 4 42 \
    >"$default_file"
cp "$default_file" "$work/default.cfg"
setups=$(installed_core setups)
echo "$setups" | grep -qx "core C:\\\\Program Files\\\\Glidora\\\\Glo_core_proxy.dll" ||
    fail "the helper did not load the installed core: $setups"
[ "$(echo "$setups" | grep -c '^setup')" = 2 ] || fail "the default was not read: $setups"
changed=$(installed_core remove)
echo "$changed" | grep '^removing' | sed 's/^/   /'
[ "$(echo "$changed" | grep -c '^setup')" = 1 ] || fail "no setup removed: $changed"
[ -f "$user_file" ] || fail "no user file $user_file"
grep -q 'Threshold=42' "$user_file" 2>/dev/null && ! grep -q 'Threshold=41' "$user_file" ||
    fail "user file: $(cat "$user_file" 2>&1)"
cmp -s "$default_file" "$work/default.cfg" || fail "the default beside the library changed"
expect_files "$home/Office/Plugins" TextEditor.cfg "${shipped[@]/%/.dll}"
cp "$user_file" "$work/user.cfg"

step "repair puts back a deleted plug-in and the package's own value of the home"
rm "$home/Office/Plugins/glo_generic.dll"
run reg delete "$halcyra" /v 'Home Directory' /f /reg:64 >/dev/null
repair "$package" || fail "repair exit code $?"
cmp -s "$home/Office/Plugins/glo_generic.dll" "$build/plugins/glo_generic.dll" ||
    fail "the plug-in is not back"
[ "$(home_value)" = 'REG_SZ C:\Program Files\Glidora\' ] || fail "home value: '$(home_value)'"

step "upgrade to the next version"
msiexec /i "$(winepath -w "$next_package")" || fail "upgrade exit code $?"
next_version=$(basename "$next_package" | sed 's/Glidora-\(.*\)-x64.msi/\1/')
[ "$(products)" = "Glidora"$'\n'"$next_version" ] || fail "installed products: $(products)"
# (Windows keeps the tools feature; Wine's MigrateFeatureStates does not, so the tools are not
# looked at here.)
expect_files "$home/Office" "${office[@]}" Plugins/TextEditor.cfg
cmp -s "$user_file" "$work/user.cfg" || fail "the user's file changed in the upgrade"
[ "$(installed_core setups | grep '^setup')" = "$(echo "$changed" | grep '^setup')" ] ||
    fail "the user's setups are not used after the upgrade: $(installed_core setups)"
[ "$(home_value)" = 'REG_SZ C:\Program Files\Glidora\' ] ||
    fail "home value after the upgrade: '$(home_value)'"

step "downgrade refused"
msiexec /i "$(winepath -w "$package")" && fail "the older package installed"
[ "$(products)" = "Glidora"$'\n'"$next_version" ] || fail "products after the downgrade: $(products)"
[ -f "$home/Glo_core_proxy.dll" ] || fail "the refused downgrade removed the core"

step "uninstall"
msiexec /x "$(winepath -w "$next_package")" || fail "uninstall exit code $?"
# The administrator's file is not the package's: it alone stays.
expect_files "$home" Office/Plugins/TextEditor.cfg
[ "$(cd "$home" && find . -mindepth 1 -type d | sort | tr '\n' ' ')" = "./Office ./Office/Plugins " ] ||
    fail "folders stay: $(cd "$home" && find . -mindepth 1 -type d)"
[ -z "$(home_value)" ] || fail "the value stays"
for key in 'HKLM\SOFTWARE\Glidora' 'HKLM\SOFTWARE\Veltrana'; do
    run reg query "$key" /reg:64 >/dev/null && fail "$key stays"
done
[ -z "$(products)" ] || fail "still installed: $(products)"
cmp -s "$user_file" "$work/user.cfg" || fail "the user's file did not stay"
rm -rf "$home"

# Nothing of the package is left; the driver's home and value are as the driver made them.
expect_gone() { # DRIVER_HOME VALUE
    expect_files "$1" driver.exe
    [ -z "$(find "$1" -mindepth 1 -type d)" ] || fail "folders stay in the driver's home"
    [ ! -e "$home" ] || fail "$home stays"
    [ "$(home_value)" = "$2" ] || fail "the driver's value changed: '$(home_value)'"
    run reg query 'HKLM\SOFTWARE\Glidora' /reg:64 >/dev/null && fail "HKLM\SOFTWARE\Glidora stays"
    [ -z "$(products)" ] || fail "still installed: $(products)"
}
driver_home="$WINEPREFIX/drive_c/Halcyra"
mkdir -p "$driver_home"
echo driver >"$driver_home/driver.exe"

step "a driver installed later keeps its home through repair, upgrade and uninstall"
msiexec /i "$(winepath -w "$package")" || fail "install exit code $?"
[ "$(home_value)" = 'REG_SZ C:\Program Files\Glidora\' ] || fail "home value: '$(home_value)'"
run reg add "$halcyra" /v 'Home Directory' /d 'C:\Halcyra' /f /reg:64 >/dev/null
repair "$package" || fail "repair exit code $?"
[ "$(home_value)" = 'REG_SZ C:\Halcyra' ] || fail "the repair changed the driver's value: '$(home_value)'"
msiexec /i "$(winepath -w "$next_package")" || fail "upgrade exit code $?"
[ "$(home_value)" = 'REG_SZ C:\Halcyra' ] || fail "the upgrade changed the driver's value: '$(home_value)'"
# The newer version goes where the driver now loads its core from.
expect_files "$driver_home" driver.exe "${layout[@]}"
msiexec /x "$(winepath -w "$next_package")" || fail "uninstall exit code $?"
expect_gone "$driver_home" 'REG_SZ C:\Halcyra'

step "with a driver present, its home named by an expandable value"
run reg add "$halcyra" /v 'Home Directory' /t REG_EXPAND_SZ /d '%SystemDrive%\Halcyra' /f \
    /reg:64 >/dev/null
msiexec /i "$(winepath -w "$package")" || fail "install exit code $?"
expect_files "$driver_home" driver.exe "${layout[@]}"
expect_build_files "$driver_home"
[ ! -e "$home" ] || fail "installed into Program Files too"
[ "$(home_value)" = 'REG_EXPAND_SZ %SystemDrive%\Halcyra' ] ||
    fail "the driver's value changed: '$(home_value)'"
msiexec /x "$(winepath -w "$package")" || fail "uninstall exit code $?"
expect_gone "$driver_home" 'REG_EXPAND_SZ %SystemDrive%\Halcyra'

step "a driver's value that is no folder the installer can find is refused"
# (A raw value beginning with "#" is the installer's escape: no path it can use as it stands.)
run reg add "$halcyra" /v 'Home Directory' /d '#C:\Halcyra' /f /reg:64 >/dev/null
msiexec /i "$(winepath -w "$package")" && fail "installed for a home it cannot name"
expect_gone "$driver_home" 'REG_SZ #C:\Halcyra'
[ -z "$(find "$WINEPREFIX/drive_c" -maxdepth 3 -name '#*')" ] || fail "a folder named '#...' was made"

[ $failures -eq 0 ] && echo "the package installs, upgrades and uninstalls as it should"
exit $((failures > 0))
