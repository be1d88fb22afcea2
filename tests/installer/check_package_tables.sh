#!/usr/bin/env bash
# A package read back with msitools, for the architecture that cannot be installed here (32-bit
# programs do not run on this machine): every file in its folder, the folders below Program Files,
# the registry rows and searches in the view of the architecture, the condition on the value of
# the home, the tools feature off by default, upgrade and downgrade rows, and one version for the
# package's name, its product and the core's version record.
# Usage: check_package_tables.sh PACKAGE x86|x64 UPGRADE_CODE CORE_DLL
set -uo pipefail
package=$1 arch=$2 upgrade_code=$3 core=$4
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
table() { msiinfo export "$package" "$1" | tail -n +4 | tr -d '\r' | sort; }
expect_table() { # TABLE EXPECTED-ROWS (tab-separated, any order) [FIRST-COLUMN]
    local want have
    want=$(printf '%s\n' "$2" | sort)
    have=$(table "$1" | cut -f"${3:-1}"- | sort)
    [ "$want" = "$have" ] || fail "table $1:"$'\n'"$(diff <(echo "$want") <(echo "$have"))"
}

if [ "$arch" = x64 ]; then
    template="x64;1033" program_files=ProgramFiles64Folder bits=256 locator=18
else
    template="Intel;1033" program_files=ProgramFilesFolder bits=0 locator=2
fi
msiinfo suminfo "$package" | grep -qx "Template: $template" || fail "not a $arch package"

# File key, component, folder of the component.
files=$(table File | cut -f1,2 | sort)
components=$(table Component | cut -f1,3 | sort)
layout=$(join -1 2 -2 1 -t $'\t' <(echo "$files" | sort -k2) <(echo "$components") | cut -f2,3 |
    sort)
expected="Glo_core_proxy.dll	INSTALLDIR
README.md	DocsDir
cap.stl	GeometryDir
config_dialog.trace	TracesDir
glo_browser.dll	PluginsDir
glo_cfgcheck.exe	INSTALLDIR
glo_driver.exe	INSTALLDIR
glo_generic.dll	PluginsDir
glo_layout.dll	PluginsDir
glo_mail.dll	PluginsDir
glo_monitor.exe	INSTALLDIR
glo_pdf_viewer.dll	PluginsDir
glo_plugin_probe.exe	INSTALLDIR
glo_presentation.dll	PluginsDir
glo_spreadsheet.dll	PluginsDir
glo_text_editor.dll	PluginsDir
glo_trees_lists.dll	PluginsDir
glo_word_processor.dll	PluginsDir
office_gesture.trace	TracesDir
plugins.md	DocsDir
scroll_and_click.trace	TracesDir
trace_format.md	DocsDir
user_guide.md	DocsDir
assign_menu.png	PicturesDir
assigned.png	PicturesDir
cap_motions.png	PicturesDir
dead_zone.png	PicturesDir
dialog_overview.png	PicturesDir
notepad_push.png	PicturesDir
rate_curve.png	PicturesDir
restore_defaults.png	PicturesDir
speed.png	PicturesDir"
expected=$(echo "$expected" | sort)
[ "$layout" = "$expected" ] || fail "files:"$'\n'"$(diff <(echo "$expected") <(echo "$layout"))"

expect_table Directory "DocsDir	OfficeDir	Docs
GeometryDir	OfficeDir	Geometry
INSTALLDIR	$program_files	Glidora
OfficeDir	INSTALLDIR	Office
PicturesDir	DocsDir	pictures
PluginsDir	OfficeDir	Plugins
$program_files	TARGETDIR	.
TARGETDIR		SourceDir
TracesDir	INSTALLDIR	Traces"

# Every component in the view of the architecture; key paths of the registry components.
table Component | awk -F'\t' -v bits="$bits" '
    { attributes = $4; if (int(attributes / 256) % 2 != bits / 256) print "view: " $1 }' |
    while read -r line; do fail "$line"; done
[ "$(table Component | awk -F'\t' '$1 == "HomeDirectoryValue" { print $5 }')" = \
  "NOT HALCYRAHOME OR HALCYRAHOME = CREATEDHOME" ] || fail "no condition on the home's value"

# (without the Registry table's generated key column)
expect_table Registry "$(printf '%s\n' \
    "2	SOFTWARE\\Glidora	Created Home Directory	[INSTALLDIR]	HomeDirectoryValue" \
    "2	SOFTWARE\\Glidora	Install Folder	[INSTALLDIR]	InstallFolderValue" \
    "2	SOFTWARE\\Glidora	Version	$(table Property | sed -n 's/^ProductVersion\t//p')	InstallFolderValue" \
    "2	SOFTWARE\\Veltrana\\Halcyra	Home Directory	[INSTALLDIR]	HomeDirectoryValue")" 2
expect_table RegLocator "CreatedHome	2	SOFTWARE\\Glidora	Created Home Directory	$locator
HalcyraHome	2	SOFTWARE\\Veltrana\\Halcyra	Home Directory	$locator
RememberedFolder	2	SOFTWARE\\Glidora	Install Folder	$locator"

table Feature | awk -F'\t' '{ print $1, $6 }' | grep -qx "Tools 1000" || fail "tools on by default"
version=$(table Property | sed -n 's/^ProductVersion\t//p')
expect_table Upgrade "$upgrade_code		$version		513		WIX_UPGRADE_DETECTED
$upgrade_code	$version			2		WIX_DOWNGRADE_DETECTED"
table InstallExecuteSequence | grep -qx $'RemoveExistingProducts\t\t1401' ||
    fail "the older product is not removed first"
# The folder is chosen from what AppSearch found, before the costs are final.
for sequence in InstallExecuteSequence InstallUISequence; do
    order=$(table "$sequence" | sort -t $'\t' -k3n | cut -f1 |
        grep -xE 'AppSearch|UseRememberedFolder|UseDriverHome|CostFinalize' | tr '\n' ' ')
    [ "$order" = "AppSearch UseRememberedFolder UseDriverHome CostFinalize " ] ||
        fail "$sequence runs $order"
done

msiinfo export "$package" LaunchCondition | grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version' ||
    fail "no message for a downgrade"

# The fixed part of the core's version record: file version major.minor.patch.
core_version=$(perl -0777 -ne '
    my $at = index($_, pack("V", 0xFEEF04BD));
    my ($ms, $ls) = unpack("V2", substr($_, $at + 8, 8));
    printf "%d.%d.%d", $ms >> 16, $ms & 0xffff, $ls >> 16 if $at >= 0;' "$core")
[ "$core_version" = "$version" ] && [ "$(basename "$package")" = "Glidora-$version-$arch.msi" ] ||
    fail "versions: core $core_version, product $version, file $(basename "$package")"

[ $failures -eq 0 ] && echo "the $arch package holds what it should"
exit $((failures > 0))
