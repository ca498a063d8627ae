# Shared by bench/run, bench/whole_run and bench/block_sizes (sourced): generates the three payloads
# (few large files, many small files, many small real files of this machine), packs them, builds
# the benchmark programs in BENCH_DIR/build, and opens a Wine sandbox whose drive O: is a RAM-backed
# folder, so that disk write-back does not drown the differences in noise. KINDS chooses fewer
# payloads; PACK_OPTIONS, a ;-list of extra arguments to the packer (for example --block-size;4),
# goes to every payload packed here and to the build as PAYLOAD_PACK_OPTIONS.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=${BENCH_DIR:-$root/build-bench}
rounds=${ROUNDS:-5}
build=$work/build
toolchain=$root/cmake/mingw-w64-x86_64.cmake
kinds=${KINDS:-few many real}
pack_options=${PACK_OPTIONS:-}
IFS=';' read -r -a pack_extra <<<"$pack_options"

# bench_pack FILES ARCHIVE [ARGUMENT...]: packs FILES into ARCHIVE with the build's packer, unless
# ARCHIVE was packed by the same packer with the same arguments, and keeps the packer's time in
# ARCHIVE.pack beside it.
bench_pack() {
    local files=$1 archive=$2
    shift 2
    local stamp
    stamp="$(sha256sum <"$build/native/pack" | cut -d' ' -f1) $*"
    [ -f "$archive" ] && [ "$(sed -n 's/^stamp=//p' "$archive.pack" 2>/dev/null)" = "$stamp" ] &&
        return
    rm -f "$archive" "$archive.pack"
    local start end
    start=$(date +%s.%N)
    "$build/native/pack" "$files" "$archive" "$@" >/dev/null
    end=$(date +%s.%N)
    printf 'stamp=%s\nseconds=%s\n' "$stamp" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" \
        >"$archive.pack"
}

bench_build() {  # extra targets...
    bash "$root/scripts/install-deps"
    mkdir -p "$work"
    local kind
    for kind in $kinds; do
        if [ ! -f "$work/$kind/files.stamp" ]; then
            rm -rf "$work/$kind/files"
            python3 "$root/bench/make_payload.py" "$kind" "$work/$kind/files"
            touch "$work/$kind/files.stamp"
        fi
    done
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DEXTRACT_BENCH=OFF \
        -DPAYLOAD_PACK_OPTIONS="$pack_options" >/dev/null
    cmake --build "$build" --target native_tools -j "$(nproc)" >/dev/null
    local payloads=() programs=()
    for kind in $kinds; do
        bench_pack "$work/$kind/files" "$work/$kind/payload.dat" --last vivevadiz.exe \
            --manifest uninstall.lst "${pack_extra[@]}"
        payloads+=("$kind=$work/$kind")
        programs+=("extract_bench_$kind")
    done
    cmake -S "$root" -B "$build" -DEXTRACT_BENCH=ON \
        -DBENCH_PAYLOADS="$(IFS=';'; echo "${payloads[*]}")" >/dev/null
    cmake --build "$build" --target "${programs[@]}" "$@" -j "$(nproc)" >/dev/null
}

bench_open_sandbox() {
    . "$root/scripts/wine-lib.sh"
    export WINE_SANDBOX_ROOT=$work
    wine_sandbox_open "$build/wine-template"
    ram=$(mktemp -d "${BENCH_RAM_DIR:-/dev/shm}/bench-XXXXXX")
    trap 'wine_sandbox_close; rm -rf "$ram"' EXIT
    ln -s "$ram" "$WINEPREFIX/dosdevices/o:"
    out_unix=$ram/bench-out
}

# Python that reads a payload archive of either format: its entry count, total, largest entry (or
# content), block count and the decoding budget (the largest entry plus 64 MiB, or twice it), and
# the packer's time when bench_pack made it.
bench_archive_py='
import os, struct
def archive_facts(path):
    data = open(path, "rb").read()
    (word,) = struct.unpack_from("<I", data)
    if word & 0x80000000:
        _, count, total, contents, blocks, _, _ = struct.unpack_from("<7I", data)
        at = 28 + 16 * blocks
        largest = max((struct.unpack_from("<I", data, at + 16 * i + 12)[0] for i in range(contents)),
                      default=0)
        form = 2
    else:
        count, total = struct.unpack_from("<iI", data)
        at, largest = 8, 0
        for _ in range(count):
            (n,) = struct.unpack_from("<I", data, at)
            at += 4 + 2 * n
            size, block = struct.unpack_from("<II", data, at)
            at += 8 + block
            largest = max(largest, size)
        form, blocks = 1, count
    mb = 1048576
    pack_seconds = None
    if os.path.exists(path + ".pack"):
        for line in open(path + ".pack"):
            if line.startswith("seconds="):
                pack_seconds = float(line.split("=", 1)[1])
    return dict(count=count, total=total, archive=len(data), largest=largest, format=form,
                blocks=blocks, budget=max(largest + 64 * mb, 2 * largest), pack_seconds=pack_seconds)
'
