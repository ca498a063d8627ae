#!/usr/bin/env bash
# Fails when a program we ship has a load-time import that Windows could take from the program's
# own folder: every DLL in its import table must be a KnownDLL, which Windows always maps from
# System32. The list is the KnownDLLs common to Windows 7 to 11: gdiplus and shcore joined later,
# and uxtheme, version, comctl32 (side by side) and the api-ms-win-* sets (real files before
# Windows 10) never were. ntdll is mapped into every process before any search.
#   check_imports.sh OBJDUMP PROGRAM...
set -euo pipefail
objdump=$1
shift
known='^(advapi32|clbcatq|comdlg32|difxapi|gdi32|imagehlp|imm32|kernel32|msctf|msvcrt|normaliz|nsi|ntdll|ole32|oleaut32|psapi|rpcrt4|sechost|setupapi|shell32|shlwapi|user32|wldap32|ws2_32)\.dll$'
status=0
for exe in "$@"; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || { echo "$exe: no imports found"; status=1; }
    for dll in $dlls; do
        if ! [[ $dll =~ $known ]]; then
            echo "$exe imports $dll, which is not a KnownDLL: Windows may load it from the program's folder"
            status=1
        fi
    done
    echo "$exe: $(echo $dlls)"
done
exit $status
