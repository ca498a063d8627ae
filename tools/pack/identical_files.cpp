#include "tools/pack/identical_files.h"

#include <fstream>

#include "archive/block_format.h"
#include "tools/pack/entry_order.h"

namespace pack {

namespace {

constexpr size_t kChunk = 1 << 20;

bool FileCrc(const SourceFile& file, uint32_t& crc) {
    std::ifstream in(file.path, std::ios::binary);
    std::vector<char> chunk(kChunk);
    uint64_t read = 0;
    crc = 0;
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        const auto got = size_t(in.gcount());
        crc = archive::Crc32(chunk.data(), got, crc);
        read += got;
    }
    return in.eof() && read == file.size;
}

bool SameBytes(const SourceFile& a, const SourceFile& b) {
    std::ifstream inA(a.path, std::ios::binary), inB(b.path, std::ios::binary);
    std::vector<char> chunkA(kChunk), chunkB(kChunk);
    for (;;) {
        inA.read(chunkA.data(), std::streamsize(chunkA.size()));
        inB.read(chunkB.data(), std::streamsize(chunkB.size()));
        const auto gotA = size_t(inA.gcount()), gotB = size_t(inB.gcount());
        if (gotA != gotB || !std::equal(chunkA.begin(), chunkA.begin() + gotA, chunkB.begin()))
            return false;
        if (gotA < kChunk) return inA.eof() && inB.eof();
    }
}

}  // namespace

Failure GroupIdenticalFiles(std::vector<SourceFile>& files, bool lastPinned) {
    std::vector<std::optional<ContentKey>> keys(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        SourceFile& file = files[i];
        if (file.contents) continue;
        if (!FileCrc(file, file.crc))
            return Failure{"cannot read " + file.path.string() + " (or it changed while packing)"};
        keys[i] = ContentKey{file.size, file.crc};
    }
    const std::vector<size_t> first =
        FirstIdentical(keys, [&](size_t a, size_t b) { return SameBytes(files[a], files[b]); });
    std::vector<SourceFile> ordered;
    ordered.reserve(files.size());
    for (size_t i : RepeatOrder(first, lastPinned)) {
        ordered.push_back(std::move(files[i]));
        ordered.back().repeat = first[i] != i;
    }
    files = std::move(ordered);
    return {};
}

}  // namespace pack
