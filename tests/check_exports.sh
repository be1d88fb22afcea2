#!/usr/bin/env bash
# Checks a built core DLL: its undecorated exports are exactly the driver's seven entry points and
# the loaded programs' interface, the plug-in interface is exported as C++ symbols, and it imports
# system DLLs only.
set -u
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }

# "ordinal-index name", one per export.
table=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{gsub(/[][]/," ");print $1, $NF;next} t&&!/^[ \t]*\[/{t=0}')
exports=$(printf '%s\n' "$table" | awk '{print $2}')
plain=$(printf '%s\n' "$exports" | grep -v '^_Z' | LC_ALL=C sort | tr '\n' ' ')
driver="ZuVidCloseHdl ZuVidGetInfo ZuVidInit ZuVidIsValidHdl ZuVidSendEvent ZuVidServiceRequest ZuVidTerm "
programs="gloAttachConfigurationWindow gloDetachConfigurationWindow gloLoadedProgramApplication gloLoadedProgramCount gloLoadedProgramGeneration gloLoadedProgramName gloLoadedProgramTableGeneration gloProgramInFront gloReloadedProgram gloReportProgramFaults "
want="$driver$programs"
status=0
if [ "$plain" != "$want" ]; then
    echo "plain exports: '$plain'"
    echo "expected:      '$want'"
    status=1
fi
# The loaded programs' exports came last: they hold the last ordinals, so that no export of
# before moved for them; the driver's entry points hold the first seven.
last_other=$(printf '%s\n' "$table" | awk '$2 !~ /^glo/ {if ($1 > m) m = $1} END {print m + 0}')
first_program=$(printf '%s\n' "$table" | awk 'BEGIN {m = -1} $2 ~ /^glo/ {if (m < 0 || $1 < m) m = $1} END {print m}')
if [ "$first_program" -le "$last_other" ]; then
    echo "the loaded programs' exports start at ordinal index $first_program, before $last_other"
    status=1
fi
if printf '%s\n' "$table" | awk '$2 ~ /^ZuVid/ && $1 >= 7 {bad = 1} END {exit !bad}'; then
    echo "the driver's entry points are not the first seven ordinals"
    status=1
fi
if [ "$(printf '%s\n' "$exports" | grep -c '^_Z')" -eq 0 ]; then
    echo "no C++ interface exported"
    status=1
fi

system="kernel32.dll msvcrt.dll user32.dll advapi32.dll ole32.dll shell32.dll gdi32.dll"
for dep in $(printf '%s\n' "$dump" | awk '/DLL Name:/{print tolower($3)}'); do
    case " $system " in
        *" $dep "*) ;;
        *) echo "imports non-system DLL $dep"; status=1 ;;
    esac
done
[ $status -eq 0 ] && echo "exports and imports of $dll are as expected"
exit $status
