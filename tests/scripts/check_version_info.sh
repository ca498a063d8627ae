#!/usr/bin/env bash
# The version-information generator on copies of the string table with other product versions:
# what becomes four numbers, and the clear refusal, with no script left behind, of what cannot.
#   check_version_info.sh PYTHON GENERATOR STRINGS_RC
set -uo pipefail
python=$1 generator=$2 strings=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the generator on the table with string 124 set to $1 in Chinese and $2 (default $1) in
# English; sets rc and out (its messages and the script's version lines).
generate() {
    awk -v zh="$1" -v en="${2-$1}" \
        '/^ *124 "/ { n++; print "    124 \"" (n == 1 ? zh : en) "\""; next } { print }' \
        "$strings" >"$work/strings.rc"
    echo "stale" >"$work/out.rc"
    out=$("$python" "$generator" "$work/strings.rc" "$work/out.rc" installer setup.exe 2>&1)
    rc=$?
    [ -f "$work/out.rc" ] && out+=$(grep -E '^(FILE|PRODUCT)VERSION|Version"' "$work/out.rc")
}

while IFS='|' read -r version numbers; do
    generate "$version"
    if [ $rc -ne 0 ] || ! grep -qx "FILEVERSION $numbers" <<<"$out" ||
        ! grep -qx "PRODUCTVERSION $numbers" <<<"$out" ||
        [ "$(grep -c "VALUE \"ProductVersion\", \"$version\"" <<<"$out")" != 2 ]; then
        fail "\"$version\" should give $numbers in both parts: $out"
    fi
done <<'EOF'
2.0.0|2,0,0,0
7|7,0,0,0
1.2.3.4|1,2,3,4
65535.0.10.65535|65535,0,10,65535
EOF

while IFS='|' read -r version message; do
    generate "$version"
    if [ $rc -eq 0 ] || ! grep -q "$message" <<<"$out" || [ -f "$work/out.rc" ]; then
        fail "\"$version\" should be refused with \"$message\" and leave no script: $out"
    fi
done <<'EOF'
2.0 beta|"2.0 beta" cannot be turned into four numbers
2.0.0-rc1|cannot be turned into four numbers
1.2.3.4.5|cannot be turned into four numbers
65536|cannot be turned into four numbers
1..2|cannot be turned into four numbers
2.0.|cannot be turned into four numbers
v2|cannot be turned into four numbers
 2.0|cannot be turned into four numbers
|string 124 (product version) is missing in language 4
EOF

generate 2.0.0 2.1.0
if [ $rc -eq 0 ] || ! grep -q "differs between the two languages" <<<"$out"; then
    fail "versions that differ between the languages should be refused: $out"
fi

echo "$failures failed"
[ $failures -eq 0 ]
