#!/usr/bin/env bash
# The version-information generator on copies of the string table with other product versions
# (Chinese|English|expected): the four numbers of both fixed versions, or a refusal with its message
# that leaves no script behind.
#   check_version_info.sh PYTHON GENERATOR STRINGS_RC
set -uo pipefail
python=$1 generator=$2 strings=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

while IFS='|' read -r zh en expected; do
    awk -v zh="$zh" -v en="$en" \
        '/^ *124 "/ { n++; print "    124 \"" (n == 1 ? zh : en) "\""; next } { print }' \
        "$strings" >"$work/strings.rc"
    echo stale >"$work/out.rc"
    out=$("$python" "$generator" "$work/strings.rc" "$work/out.rc" installer setup.exe 2>&1)
    rc=$?
    if [[ $expected == !* ]]; then
        [ $rc -ne 0 ] && grep -qF "${expected#!}" <<<"$out" && [ ! -e "$work/out.rc" ]
    else
        [ $rc -eq 0 ] && grep -qx "FILEVERSION $expected" "$work/out.rc" &&
            grep -qx "PRODUCTVERSION $expected" "$work/out.rc" &&
            [ "$(grep -c "\"ProductVersion\", \"$zh\"" "$work/out.rc")" = 2 ]
    fi || { echo "FAIL: \"$zh\" and \"$en\" should give $expected: $out"; failures=$((failures + 1)); }
done <<'EOF'
2.0.0|2.0.0|2,0,0,0
7|7|7,0,0,0
65535.0.10.65535|65535.0.10.65535|65535,0,10,65535
2.0 beta|2.0 beta|!"2.0 beta" cannot be turned into four numbers
2.0.0-rc1|2.0.0-rc1|!cannot be turned into four numbers
1.2.3.4.5|1.2.3.4.5|!cannot be turned into four numbers
65536|65536|!cannot be turned into four numbers
1..2|1..2|!cannot be turned into four numbers
 2.0| 2.0|!cannot be turned into four numbers
||!string 124 (product version) is missing in language 4
2.0.0|2.1.0|!differs between the two languages
EOF

echo "$failures failed"
[ $failures -eq 0 ]
