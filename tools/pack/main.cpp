// pack DIR OUT.dat [--last NAME] [--manifest NAME]   build a payload archive from a folder
// pack --list OUT.dat                                check an archive as the installer would
// pack --extract OUT.dat NAME FILE                   write one entry's bytes to FILE
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "tools/pack/packer.h"

namespace {

int Usage() {
    std::cerr << "usage: pack DIR OUT.dat [--last NAME] [--manifest NAME]\n"
                 "       pack --list OUT.dat\n"
                 "       pack --extract OUT.dat NAME FILE\n";
    return 2;
}

int Report(const pack::Failure& failure) {
    if (!failure) return 0;
    std::cerr << "pack: " << failure.message << '\n';
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--list") == 0)
        return Report(pack::ListArchive(argv[2], std::cout));
    if (argc == 5 && std::strcmp(argv[1], "--extract") == 0)
        return Report(pack::ExtractEntry(argv[2], argv[3], argv[4]));

    // Options come in pairs after DIR and OUT, each at most once, with a non-empty value.
    if (argc < 3 || argc % 2 == 0) return Usage();
    std::string last, manifest;
    for (int i = 3; i < argc; i += 2) {
        std::string* option = std::strcmp(argv[i], "--last") == 0       ? &last
                              : std::strcmp(argv[i], "--manifest") == 0 ? &manifest
                                                                        : nullptr;
        if (!option || !option->empty() || argv[i + 1][0] == '\0') return Usage();
        *option = argv[i + 1];
    }

    std::vector<pack::SourceFile> files;
    if (int rc = Report(pack::CollectFiles(argv[1], last, files, manifest))) return rc;

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
    if (int rc = Report(pack::WriteArchive(files, argv[2], progress))) return rc;

    std::cout << "pack: " << files.size() << " files, " << pack::TotalSize(files) << " bytes -> "
              << argv[2] << '\n';
    return 0;
}
