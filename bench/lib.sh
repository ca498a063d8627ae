# Shared by bench/run and bench/whole_run (sourced): generates the three payloads (few large files,
# many small files, many small real files of this machine), packs them, builds the benchmark programs in BENCH_DIR/build, and opens a Wine
# sandbox whose drive O: is a RAM-backed folder, so that disk write-back does not drown the
# differences in noise.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=${BENCH_DIR:-$root/build-bench}
rounds=${ROUNDS:-5}
build=$work/build
toolchain=$root/cmake/mingw-w64-x86_64.cmake
kinds="few many real"

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
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DEXTRACT_BENCH=OFF >/dev/null
    cmake --build "$build" --target native_tools -j "$(nproc)" >/dev/null
    for kind in $kinds; do
        [ -f "$work/$kind/payload.dat" ] ||
            "$build/native/pack" "$work/$kind/files" "$work/$kind/payload.dat" --last vivevadiz.exe \
                --manifest uninstall.lst >/dev/null
    done
    cmake -S "$root" -B "$build" -DEXTRACT_BENCH=ON \
        -DBENCH_PAYLOADS="few=$work/few;many=$work/many;real=$work/real" >/dev/null
    cmake --build "$build" --target extract_bench_few extract_bench_many extract_bench_real "$@" \
        -j "$(nproc)" >/dev/null
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

# Python that reads a payload archive: its entry count, total, largest entry and the decoding
# budget (the largest entry plus 64 MiB, or twice it).
bench_archive_py='
import struct
def archive_facts(path):
    data = open(path, "rb").read()
    count, total = struct.unpack_from("<iI", data)
    at, largest = 8, 0
    for _ in range(count):
        (n,) = struct.unpack_from("<I", data, at)
        at += 4 + 2 * n
        size, block = struct.unpack_from("<II", data, at)
        at += 8 + block
        largest = max(largest, size)
    mb = 1048576
    return dict(count=count, total=total, archive=len(data), largest=largest,
                budget=max(largest + 64 * mb, 2 * largest))
'
