#include "files/entry_file.h"

CFileHandle CreateEntryFile(const std::wstring& target) {
    return CFileHandle(CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void CloseEntryFile(CFileHandle file) {
    file.Reset();
}
