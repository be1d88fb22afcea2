#!/usr/bin/env bash
# Checks a built core DLL: its undecorated exports are exactly the driver's seven entry points,
# the plug-in interface is exported as C++ symbols, and it imports system DLLs only.
set -u
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }

exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF;next} t&&!/^[ \t]*\[/{t=0}')
plain=$(printf '%s\n' "$exports" | grep -v '^_Z' | sort | tr '\n' ' ')
want="ZuVidCloseHdl ZuVidGetInfo ZuVidInit ZuVidIsValidHdl ZuVidSendEvent ZuVidServiceRequest ZuVidTerm "
status=0
if [ "$plain" != "$want" ]; then
    echo "plain exports: '$plain'"
    echo "expected:      '$want'"
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
