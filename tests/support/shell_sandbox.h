#pragma once
// Reading back what the installation actions leave in the (sandboxed) Windows shell and registry.

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "files/paths.h"
#include "platform/com_ptr.h"

namespace testing_support {

struct ShortcutFields {
    HRESULT loaded = E_FAIL;
    std::wstring target;
    std::wstring description;
    std::wstring iconPath;
    int iconIndex = -1;
    std::wstring arguments;
    std::wstring workingFolder;
};

// Loads a .lnk through the shell's own IShellLinkW; needs COM on the calling thread.
inline ShortcutFields ReadShortcut(const std::wstring& file) {
    ShortcutFields fields;
    ComPtr<IShellLinkW> link;
    fields.loaded = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(IShellLinkW), link.PutVoid());
    if (FAILED(fields.loaded)) return fields;
    ComPtr<IPersistFile> persist;
    fields.loaded = link.As(persist);
    if (SUCCEEDED(fields.loaded)) fields.loaded = persist->Load(file.c_str(), STGM_READ);
    if (FAILED(fields.loaded)) return fields;
    wchar_t text[1024] = {};
    // The target as the shell resolves it, from the link's item list: Wine's path field holds
    // only the ANSI form, which loses characters outside the code page.
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items) {
        if (SHGetPathFromIDListW(items, text)) fields.target = text;
        CoTaskMemFree(items);
    }
    text[0] = 0;
    if (SUCCEEDED(link->GetDescription(text, 1024))) fields.description = text;
    text[0] = 0;
    if (SUCCEEDED(link->GetIconLocation(text, 1024, &fields.iconIndex))) fields.iconPath = text;
    text[0] = 0;
    if (SUCCEEDED(link->GetArguments(text, 1024))) fields.arguments = text;
    text[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(text, 1024))) fields.workingFolder = text;
    return fields;
}

inline bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// This folder below the sandbox's temporary folder, created with any missing levels.
inline std::wstring MakeSandboxFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = JoinPath(temp, name);
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

// `path` by way of Wine's Z: drive, which shows the Unix root; empty outside Wine.
inline std::wstring OtherPathTo(const std::wstring& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) return std::wstring();
    std::wstring other = L"Z:";
    for (const char* c = name; *c; ++c) other += *c == '/' ? L'\\' : wchar_t(*c);
    HeapFree(GetProcessHeap(), 0, name);
    return other;
}

// `text` as UTF-8, as a run's log holds it.
inline std::string ToUtf8(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(),
                                            int(bytes.size()), nullptr, nullptr)));
    return bytes;
}

inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ParentFolder(path);
}

}  // namespace testing_support
