#include "system/shortcut.h"

#include <shlobj.h>

#include "platform/com_ptr.h"

namespace {

HRESULT Written(const CheckedFile& file, std::wstring* why) {
    if (file) return S_OK;
    if (why && file.misplaced) *why = file.why;
    return HRESULT_FROM_WIN32(file.error ? file.error : ERROR_ACCESS_DENIED);
}

}  // namespace

HRESULT ShortcutBytes(const std::wstring& target, const std::wstring& description,
                      std::string& bytes) {
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(IShellLinkW), link.PutVoid());
    if (FAILED(hr)) return hr;
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    link->SetIconLocation(target.c_str(), 0);

    ComPtr<IPersistStream> persist;
    hr = link.As(persist);
    if (FAILED(hr)) return hr;
    ComPtr<IStream> stream;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    if (FAILED(hr)) return hr;
    hr = persist->Save(stream.Get(), TRUE);
    if (FAILED(hr)) return hr;
    STATSTG stat{};
    hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    if (stat.cbSize.QuadPart > (1 << 20)) return E_UNEXPECTED;
    bytes.assign(size_t(stat.cbSize.QuadPart), '\0');
    const LARGE_INTEGER start{};
    hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return hr;
    ULONG read = 0;
    hr = bytes.empty() ? S_OK : stream->Read(&bytes[0], ULONG(bytes.size()), &read);
    if (FAILED(hr)) return hr;
    return read == bytes.size() ? S_OK : E_UNEXPECTED;
}

HRESULT CreateShortcut(const std::wstring& target, const std::wstring& shortcutFile,
                       const std::wstring& description, std::wstring* why) {
    std::string bytes;
    const HRESULT hr = ShortcutBytes(target, description, bytes);
    if (FAILED(hr)) return hr;
    return Written(WriteCheckedFile(shortcutFile, bytes.data(), bytes.size()), why);
}

HRESULT CreateShortcut(const std::wstring& target, const CheckedFolder& folder,
                       const std::wstring& name, const std::wstring& description,
                       std::wstring* why) {
    std::string bytes;
    const HRESULT hr = ShortcutBytes(target, description, bytes);
    if (FAILED(hr)) return hr;
    return Written(WriteCheckedFile(folder, name, bytes.data(), bytes.size()), why);
}

void LogShortcut(CRunLog& log, const std::wstring& step, const MadeShortcut& made) {
    if (FAILED(made.result) && !made.why.empty())
        log.Line(step + L": skipped (" + made.why + L")");
    else
        log.Step(step, made.result, made.path);
}
