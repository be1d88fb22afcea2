#!/usr/bin/env bash
# A package read back with msitools, for the architecture that cannot be installed here (32-bit
# programs do not run on this machine): every file in its folder, the folders below Program Files,
# the registry rows and searches in the view of the architecture, how the package keeps its hands
# off a driver's value of the home (what Wine's msiexec does not show), the tools feature off by
# default, upgrade and downgrade rows, and one version for the package's name, its product and
# the core's version record.
# Usage: check_package_tables.sh PACKAGE x86|x64 UPGRADE_CODE CORE_DLL
set -uo pipefail
package=$1 arch=$2 upgrade_code=$3 core=$4
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
table() { msiinfo export "$package" "$1" | tail -n +4 | tr -d '\r' | sort; }
# Whether TABLE has the row ROW (tab-separated, exactly). Read in full first: with pipefail, a
# grep that stops at its match would fail the pipe of a writer that is not done.
has_row() { # TABLE ROW
    local rows
    rows=$(table "$1")
    grep -qxF -- "$2" <<<"$rows"
}
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
grep -qx "Template: $template" <<<"$(msiinfo suminfo "$package")" || fail "not a $arch package"

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
keys.png	PicturesDir
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

# (without the Registry table's generated key column)
expect_table Registry "$(printf '%s\n' \
    "2	SOFTWARE\\Glidora	Created Home Directory	[INSTALLDIR]	HomeDirectoryValue" \
    "2	SOFTWARE\\Glidora	Install Folder	[INSTALLDIR]	InstallFolderValue" \
    "2	SOFTWARE\\Glidora	Version	$(table Property | sed -n 's/^ProductVersion\t//p')	InstallFolderValue" \
    "2	[HomeValueKey]	Home Directory	[INSTALLDIR]	HomeDirectoryValue")" 2
# The home's folder from a search for the folder (which expands an expandable value); the raw
# value for comparing it with what the package wrote.
expect_table RegLocator "CreatedHome	2	SOFTWARE\\Glidora	Created Home Directory	$locator
HalcyraFolder	2	SOFTWARE\\Veltrana\\Halcyra	Home Directory	$((locator - 2))
HalcyraHome	2	SOFTWARE\\Veltrana\\Halcyra	Home Directory	$locator
RememberedFolder	2	SOFTWARE\\Glidora	Install Folder	$locator"

# A driver's value of the home is never written nor removed. Windows Installer writes the
# component's rows on every repair and removes them whenever the product goes (uninstall, or an
# upgrade removing the older product), whatever the value holds by then. So: the component's
# condition, evaluated again on a repair (transitive, 64), holds only while there is no value or
# it is the one the package created, or while the product is removed; and the row's key is the
# driver's only while the value is not another folder than the one the package wrote.
drivers='HALCYRAHOME AND HALCYRAHOME <> CREATEDHOME' # the value names another folder
home_component=$(table Component | awk -F'\t' '$1 == "HomeDirectoryValue" { print int($4 / 64) % 2 "\t" $5 }')
[ "$home_component" = "1	REMOVE~=\"ALL\" OR NOT HALCYRAHOME OR HALCYRAHOME = CREATEDHOME" ] ||
    fail "the home's value: component $(table Component | grep '^HomeDirectoryValue')"
has_row Property $'HomeValueKey\tSOFTWARE\\Veltrana\\Halcyra' ||
    fail "the row's key is not the driver's by default"
expect_table CustomAction "KeepDriverHome	2099	HomeValueKey	SOFTWARE\\Glidora	
UseDriverFolder	2099	INSTALLDIR	[HALCYRAFOLDER]	
UseDriverHome	2099	INSTALLDIR	[HALCYRAHOME]	
UseRememberedFolder	2099	INSTALLDIR	[REMEMBEREDFOLDER]	"
has_row InstallExecuteSequence "KeepDriverHome	$drivers	904" ||
    fail "the row is not kept off a driver's value: $(table InstallExecuteSequence | grep Keep)"
# A raw value that begins with "#" is no path (an expandable value, as some systems give it):
# the folder it names must be found, or the install is refused.
has_row LaunchCondition $'Installed OR NOT HALCYRAHOME OR HALCYRAFOLDER OR NOT (HALCYRAHOME << "#")\tThe home directory of the device driver ([HALCYRAHOME]) does not exist. Repair the driver\'s installation, then install Glidora again.' ||
    fail "no refusal of a home that cannot be found"

[ "$(table Feature | awk -F'\t' '$1 == "Tools" { print $6 }')" = 1000 ] || fail "tools on by default"
version=$(table Property | sed -n 's/^ProductVersion\t//p')
expect_table Upgrade "$upgrade_code		$version		513		WIX_UPGRADE_DETECTED
$upgrade_code	$version			2		WIX_DOWNGRADE_DETECTED"
has_row InstallExecuteSequence $'RemoveExistingProducts\t\t1401' ||
    fail "the older product is not removed first"
# The folder is chosen from what AppSearch found, before the costs are final; the row's key
# before the older product is removed and before any value is removed or written.
actions='AppSearch|UseRememberedFolder|UseDriverHome|UseDriverFolder|KeepDriverHome|CostFinalize'
actions+='|RemoveExistingProducts|RemoveRegistryValues|WriteRegistryValues'
for sequence in InstallExecuteSequence InstallUISequence; do
    order=$(table "$sequence" | sort -t $'\t' -k3n | cut -f1 | grep -xE "$actions" | tr '\n' ' ')
    expected="AppSearch UseRememberedFolder UseDriverHome UseDriverFolder CostFinalize "
    [ $sequence = InstallExecuteSequence ] &&
        expected="${expected/CostFinalize/KeepDriverHome CostFinalize}RemoveExistingProducts RemoveRegistryValues WriteRegistryValues "
    [ "$order" = "$expected" ] || fail "$sequence runs $order"
done
has_row InstallExecuteSequence "UseDriverFolder	HALCYRAFOLDER AND HALCYRAHOME <> CREATEDHOME AND NOT Installed	903" &&
    has_row InstallExecuteSequence "UseDriverHome	$drivers AND NOT Installed AND NOT (HALCYRAHOME << \"#\")	902" ||
    fail "the driver's home: $(table InstallExecuteSequence | grep UseDriver)"

has_row LaunchCondition $'NOT WIX_DOWNGRADE_DETECTED\tA newer version of Glidora is already installed. Uninstall it first to install this older version.' ||
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
