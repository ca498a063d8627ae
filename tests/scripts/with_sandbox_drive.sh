#!/usr/bin/env bash
# Runs one Windows test program in a fresh sandbox prefix whose drive Q: is a folder of the
# sandbox, passing --sandbox-drive=Q:; afterwards checks that the files landed in that folder.
# With SANDBOX_DRIVE_SIZE (say 3m) the folder is a RAM-backed drive of that size, so that a write
# can fill it; mounting it needs root, and where the system refuses, the test is skipped (exit 77).
# Usage: with_sandbox_drive.sh ROOT PROGRAM [ARGS...] -- EXPECTED_FILE...
set -uo pipefail
root=$1 program=$2
shift 2
args=() expected=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
[ $# -gt 0 ] && shift
expected=("$@")
# shellcheck source=../../scripts/wine-lib.sh
. "$root/scripts/wine-lib.sh"
wine_own_display "$0" "$root" "$program" "${args[@]}" -- "${expected[@]}"
wine_sandbox_open "${WINE_TEMPLATE:-$root/build/wine-template}"
export LC_ALL=${WINE_LANG:-en_US.UTF-8} LANG=${WINE_LANG:-en_US.UTF-8}
drive=$WINE_SANDBOX/drive-q
mkdir -p "$drive"
if [ -n "${SANDBOX_DRIVE_SIZE:-}" ]; then
    if ! mount -t tmpfs -o size="$SANDBOX_DRIVE_SIZE" sandbox-drive "$drive"; then
        echo "SKIPPED: cannot mount a RAM-backed drive of $SANDBOX_DRIVE_SIZE (needs root)" >&2
        wine_sandbox_close
        exit 77
    fi
fi
ln -s "$drive" "$WINEPREFIX/dosdevices/q:"
wine "$program" "${args[@]}" --sandbox-drive=Q:
rc=$?
for file in "${expected[@]}"; do
    if [ ! -f "$drive/$file" ]; then
        echo "missing in the sandbox drive: $file" >&2
        rc=1
    fi
done
# What the program started ends with it; one still running a minute later fails the test instead
# of hanging it.
if ! timeout 60 wineserver -w; then
    echo "programs of the prefix still ran 60 s after the test program ended" >&2
    wineserver -k
    rc=1
fi
[ -n "${SANDBOX_DRIVE_SIZE:-}" ] && umount "$drive"
wine_sandbox_close
exit $rc
