// Faults that no real run can be made to meet, linked into a test build of setup.exe in place of
// system/registration.cpp and files/entry_file.cpp (an object's definitions are taken before the
// library's): registration runs out of memory, and so does the creation of every file whose path
// ends in SETUP_FAULT_FILE (a name below the install folder). Without it, files are created and
// closed as ever.
#include <cstdlib>
#include <cwctype>
#include <new>
#include <string>

#include "files/entry_file.h"
#include "system/registration.h"

namespace {

bool EndsWithCaseless(const std::wstring& text, const std::wstring& end) {
    if (end.empty() || end.size() > text.size()) return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::towlower(text[text.size() - end.size() + i]) != std::towlower(end[i]))
            return false;
    return true;
}

const std::wstring& FaultyFile() {
    static const std::wstring name = [] {
        const wchar_t* value = _wgetenv(L"SETUP_FAULT_FILE");
        return value ? L"\\" + std::wstring(value) : std::wstring();
    }();
    return name;
}

}  // namespace

void RegisterProduct(const ProductIdentity&, const std::wstring&, uint64_t, CRunLog&,
                     const std::optional<std::wstring>&) {
    throw std::bad_alloc();
}

CFileHandle CreateEntryFile(const std::wstring& target) {
    if (EndsWithCaseless(target, FaultyFile())) throw std::bad_alloc();
    return CFileHandle(CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void CloseEntryFile(CFileHandle file) {
    file.Reset();
}
