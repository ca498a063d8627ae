#!/usr/bin/env bash
# Fails unless the installer's zstd library is the one-shot decoder alone: ZSTD_decompressDCtx
# defined, and nothing of the compressor, the dictionary builder, the legacy frame formats or the
# Huffman decoder's assembly in it.
#   check_zstd_decoder.sh NM LIBRARY
set -euo pipefail
nm=$1
library=$2
defined=$("$nm" --defined-only "$library" | awk 'NF == 3 { print $3 }' | sed 's/^_//')
grep -qx 'ZSTD_decompressDCtx' <<<"$defined" || { echo "$library: no ZSTD_decompressDCtx"; exit 1; }
unwanted=$(grep -E '^(ZSTD_compress|ZSTD_createCCtx|ZSTD_CCtx|ZSTDMT_|ZDICT_|ZSTDv0|ZSTD_.*legacy)|_asm' \
    <<<"$defined" || true)
if [ -n "$unwanted" ]; then
    echo "$library defines what the installer's decoder leaves out:"
    echo "$unwanted" | head -20
    exit 1
fi
echo "$library: decoder only, $(wc -l <<<"$defined") symbols"
