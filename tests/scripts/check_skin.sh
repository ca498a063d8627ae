#!/usr/bin/env bash
# The committed skin pictures pass resources/art/check_skin.py, and the check
# refuses a copy with one fault planted in it: a palette picture, a text chunk,
# a wrong size, an icon whose 256-pixel PNG is not RGBA, a missing file.
#
# Usage: check_skin.sh PYTHON SOURCE_DIR
set -uo pipefail

py=$1
src=$2
check="$src/resources/art/check_skin.py"
skin="$src/resources/skin"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
planted=0

if ! out=$("$py" "$check" "$skin" 2>&1); then
    echo "FAIL: the committed pictures are refused: $out"
    failures=$((failures + 1))
fi

# Each planted fault: a Python statement over `data` (the file's bytes, a
# bytearray) that turns it faulty, and the text the check must report.
plant() {  # file statement expected
    planted=$((planted + 1))
    rm -rf "$tmp/skin"
    cp -r "$skin" "$tmp/skin"
    "$py" - "$tmp/skin/$1" "$2" <<'EOF'
import struct, sys
path, statement = sys.argv[1], sys.argv[2]
data = bytearray(open(path, "rb").read())
def png_in_ico():
    length, offset = struct.unpack("<II", data[14:22])
    return offset
exec(statement)
open(path, "wb").write(data)
EOF
    local out
    if out=$("$py" "$check" "$tmp/skin" 2>&1); then
        echo "FAIL: $1 with '$2' passed the check"
        failures=$((failures + 1))
    elif [[ $out != *"$3"* ]]; then
        echo "FAIL: $1 with '$2': expected '$3' in: $out"
        failures=$((failures + 1))
    fi
}

plant close_hover.png 'data[25] = 3' 'close_hover.png: 60x60 depth 8 type 3'
plant chevron_up.png 'data[24] = 16' 'chevron_up.png: 32x32 depth 16 type 6'
plant banner_welcome_en.png 'data[16:20] = struct.pack(">I", 1199)' 'banner_welcome_en.png: 1199x472'
plant logo.png 'data[33:33] = struct.pack(">I4s", 1, b"tEXt") + b"x" + bytes(4)' 'logo.png: carries a tEXt chunk'
plant contact.png 'data[:] = b"GIF89a" + data[6:]' 'contact.png: not a PNG'
plant app.ico 'data[png_in_ico() + 25] = 2' 'app.ico (256): 256x256 depth 8 type 2'
plant app.ico 'data[4] = 6' 'app.ico: sizes'
plant app.ico 'data[:] = data[:10]' 'app.ico: too short'
plant warning.png 'import os; os.remove(path); sys.exit(0)' 'warning.png: missing'

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "skin pictures: committed files pass, $planted planted faults refused"
