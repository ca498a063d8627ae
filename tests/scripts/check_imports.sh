#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that is not part of Windows itself.
set -euo pipefail
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|msvcrt|uxtheme|version|ws2_32|bcrypt|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
for exe in "$@"; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || { echo "$exe: no imports found"; status=1; }
    for dll in $dlls; do
        if ! [[ $dll =~ $allowed ]]; then
            echo "$exe imports $dll, which Windows does not ship"
            status=1
        fi
    done
    echo "$exe: $(echo $dlls)"
done
exit $status
