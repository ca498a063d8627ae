#!/usr/bin/env bash
# A signed release: a throwaway code-signing certificate, a second build of setup.exe that signs
# with it, and osslsigncode's verification, with that certificate as the only trusted root, of
# setup.exe and of the two programs read out of its payload by the packer. A changed byte or another
# root fails the check, two signings give the same bytes, and the signing step on its own takes an
# empty password and leaves nothing behind when it fails.
#   check_signing.sh SOURCE_DIR SIGNING_BUILD_DIR CMAKE PYTHON UNSIGNED_EXE
set -uo pipefail
root=$1 build=$2 cmake=$3 python=$4 unsigned=$5
keys=$build/keys work=$build/check
rm -rf "$keys" "$work"
mkdir -p "$keys" "$work"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { if eval "$1"; then pass "$2"; else fail "$2"; fi; }

# A self-signed code-signing certificate NAME.pem in a PKCS#12 file NAME.p12 with password $2.
make_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway $1 signer" \
        -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
        -keyout "$keys/$1.key" -out "$keys/$1.pem" 2>/dev/null &&
        openssl pkcs12 -export -inkey "$keys/$1.key" -in "$keys/$1.pem" -out "$keys/$1.p12" \
            -passout "pass:$2"
}
make_certificate release throwaway || fail "openssl made the certificates"
make_certificate other "" || fail "openssl made the certificates"
printf 'throwaway\n' >"$keys/password.txt"
: >"$keys/empty.txt"

url=$(sed -n 's/^ *128 "\(https:[^"]*\)"$/\1/p' "$root/resources/strings.rc" | tail -n 1)
signing_time() { date -u -d "@$1" '+%b %e %H:%M:%S %Y GMT'; }

# Signed by the release certificate (or $4), intact, with the product's description and link
# and the signing time $3.
signed_and_intact() {  # file what epoch [root]
    local out
    out=$(osslsigncode verify -CAfile "$keys/${4:-release}.pem" -in "$1" 2>&1)
    local rc=$?
    check "[ $rc -eq 0 ] && grep -q 'Signature verification: ok' <<<\"\$out\"" \
        "$2 is signed and intact"
    check "grep -q 'Text description: Marlin Data Recovery (iOS)' <<<\"\$out\" &&
           grep -qF 'URL description: $url' <<<\"\$out\"" \
        "$2 names the product and its licence link"
    check "grep -qF 'Signing time: $(signing_time "$3")' <<<\"\$out\" &&
           grep -q 'digest algorithm *: SHA256' <<<\"\$out\"" \
        "$2: SHA-256, signed at $(signing_time "$3")"
}
fails_verification() {  # file root
    ! osslsigncode verify -CAfile "$keys/$2.pem" -in "$1" >/dev/null 2>&1
}
flip_byte() {  # file offset
    "$python" -c 'import sys
path, at = sys.argv[1], int(sys.argv[2])
data = bytearray(open(path, "rb").read()); data[at] ^= 0x01; open(path, "wb").write(data)' "$1" "$2"
}

# The build: only what setup.exe needs, unoptimised since signing does not depend on it.
epoch=1700000000
export SOURCE_DATE_EPOCH=$epoch
if "$cmake" -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=None -DTOOLS_TESTS=OFF -DFUZZ_TESTS=OFF -DSIGN_PKCS12="$keys/release.p12" \
    -DSIGN_PASSWORD_FILE="$keys/password.txt" >"$work/build.log" 2>&1 &&
    "$cmake" --build "$build" -j "$(nproc)" --target setup setup_repro >>"$work/build.log" 2>&1; then
    pass "the signing build succeeds"
else
    fail "the signing build succeeds"
    tail -n 30 "$work/build.log"
fi
unset SOURCE_DATE_EPOCH

setup=$build/setup.exe payload=$build/generated/payload.dat
signed_and_intact "$setup" setup.exe $epoch
check "cmp -s '$setup' '$build/setup_repro.exe'" "two signings of setup.exe give the same bytes"
contains() {  # file part: the bytes of part lie in file as they are
    "$python" -c 'import sys; sys.exit(open(sys.argv[2], "rb").read() not in open(sys.argv[1], "rb").read())' "$1" "$2"
}
check "contains '$setup' '$payload'" "setup.exe carries the payload the programs are read from"
for program in vivevadiz.exe uninstall.exe; do
    if "$build/native/pack" --extract "$payload" "$program" "$work/$program"; then
        signed_and_intact "$work/$program" "$program in the payload" $epoch
    else
        fail "$program is read out of the payload"
    fi
done

for program in "$setup" "$work/vivevadiz.exe" "$work/uninstall.exe"; do
    name=$(basename "$program")
    check "fails_verification '$program' other" "$name fails against another root certificate"
    cp "$program" "$work/changed.exe"
    flip_byte "$work/changed.exe" 4000
    check "fails_verification '$work/changed.exe' release" "$name with one byte changed fails"
done

# The signing step alone: an empty password, and the last commit's time without SOURCE_DATE_EPOCH.
sign() {  # pkcs12 password-file program
    "$python" "$root/cmake/sign.py" --osslsigncode osslsigncode --strings "$root/resources/strings.rc" \
        --source-dir "$root" --pkcs12 "$keys/$1.p12" --password-file "$keys/$2" "$3"
}
cp "$unsigned" "$work/empty-password.exe"
if sign other empty.txt "$work/empty-password.exe" >"$work/sign.log" 2>&1; then
    signed_and_intact "$work/empty-password.exe" "a program signed with an empty password" \
        "$(git -C "$root" log -1 --format=%ct)" other
else
    fail "a PKCS#12 file without password signs: $(cat "$work/sign.log")"
fi
cp "$unsigned" "$work/wrong-password.exe"
sign release empty.txt "$work/wrong-password.exe" >"$work/sign.log" 2>&1
check "[ $? -ne 0 ] && grep -q 'cannot sign' '$work/sign.log'" "a wrong password fails with a message"
check "[ ! -e '$work/wrong-password.exe' ] && [ ! -e '$work/wrong-password.exe.signing' ]" \
    "a program that cannot be signed is removed, with nothing half-signed left"

echo "$failures failed"
[ $failures -eq 0 ]
