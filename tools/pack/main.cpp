// pack DIR OUT.dat [--last NAME] [--manifest NAME] [--format 1|2] [--fast] [--block-size MIB]
//                                                    build a payload archive from a folder
// pack --list OUT.dat                                check an archive as the installer would
// pack --extract OUT.dat NAME FILE                   write one entry's bytes to FILE
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "tools/pack/block_writer.h"
#include "tools/pack/packer.h"

namespace {

int Usage() {
    std::cerr << "usage: pack DIR OUT.dat [--last NAME] [--manifest NAME] [--format 1|2] [--fast]\n"
                 "                        [--block-size MIB]\n"
                 "       pack --list OUT.dat\n"
                 "       pack --extract OUT.dat NAME FILE\n";
    return 2;
}

int Report(const pack::Failure& failure) {
    if (!failure) return 0;
    std::cerr << "pack: " << failure.message << '\n';
    return 1;
}

struct Options {
    std::string last, manifest, format, blockSize;
    bool fast = false;
};

// Each option at most once, a valued one with a non-empty value.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fast") == 0) {
            if (options.fast) return false;
            options.fast = true;
            continue;
        }
        std::string* value = std::strcmp(argv[i], "--last") == 0         ? &options.last
                             : std::strcmp(argv[i], "--manifest") == 0   ? &options.manifest
                             : std::strcmp(argv[i], "--format") == 0     ? &options.format
                             : std::strcmp(argv[i], "--block-size") == 0 ? &options.blockSize
                                                                         : nullptr;
        if (!value || !value->empty() || i + 1 >= argc || argv[i + 1][0] == '\0') return false;
        *value = argv[++i];
    }
    return true;
}

// 1 to 64, written as plain digits.
bool ParseBlockSize(const std::string& text, uint32_t& bytes) {
    if (text.empty()) return true;
    if (text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const int mebibytes = std::stoi(text);
    if (mebibytes < 1 || mebibytes > 64) return false;
    bytes = uint32_t(mebibytes) << 20;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0)
        return Report(pack::ListArchive(argv[2], std::cout));
    if (argc == 5 && std::strcmp(argv[1], "--extract") == 0)
        return Report(pack::ExtractEntry(argv[2], argv[3], argv[4]));

    Options options;
    pack::BlockOptions blockOptions;
    if (argc < 3 || !ParseOptions(argc, argv, options) ||
        !ParseBlockSize(options.blockSize, blockOptions.blockSize))
        return Usage();
    if (!options.format.empty() && options.format != "1" && options.format != "2") return Usage();
    const auto format = options.format == "1" ? pack::Format::One : pack::Format::Two;
    // Format 1 has one level and no blocks.
    if (format == pack::Format::One && (options.fast || !options.blockSize.empty())) return Usage();
    if (options.fast) blockOptions.levels = pack::kFastLevels;

    std::vector<pack::SourceFile> files;
    if (int rc = Report(pack::CollectFiles(argv[1], options.last, files, options.manifest, format)))
        return rc;

    // Report every tenth of the way on payloads large enough to take a while.
    int shown = 0;
    auto progress = [&](uint64_t done, uint64_t total) {
        if (total < (64u << 20)) return;
        const int tenth = int(done * 10 / total);
        if (tenth > shown) {
            shown = tenth;
            std::cerr << "pack: " << tenth * 10 << "% (" << (done >> 20) << " MiB)\n";
        }
    };
    pack::BlockSummary summary;
    if (format == pack::Format::One) {
        if (int rc = Report(pack::WriteArchive(files, argv[2], progress))) return rc;
    } else if (int rc = Report(
                   pack::WriteBlockArchive(files, argv[2], blockOptions, progress, &summary))) {
        return rc;
    }

    std::cout << "pack: " << files.size() << " files, " << pack::TotalSize(files) << " bytes -> "
              << argv[2];
    if (format == pack::Format::Two)
        std::cout << " (" << summary.contents << " contents; blocks: " << summary.blocks[0]
                  << " stored, " << summary.blocks[1] << " deflate, " << summary.blocks[2]
                  << " zstd; " << summary.archiveBytes << " bytes)";
    std::cout << '\n';
    return 0;
}
