#include "system/shortcut.h"

#include <shlobj.h>

#include "platform/com_ptr.h"

HRESULT CreateShortcut(const std::wstring& target, const std::wstring& shortcutFile,
                       const std::wstring& description) {
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(IShellLinkW), link.PutVoid());
    if (FAILED(hr)) return hr;
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    link->SetIconLocation(target.c_str(), 0);

    ComPtr<IPersistFile> file;
    hr = link.As(file);
    if (FAILED(hr)) return hr;
    return file->Save(shortcutFile.c_str(), TRUE);
}
