#pragma once
// Shell links (.lnk files) made by the installer. Needs COM on the calling thread.

#include <windows.h>

#include <string>

// Writes (or overwrites) `shortcutFile` as a link to `target` with `description`, showing the
// target's first icon. Nothing else is set on the link.
HRESULT CreateShortcut(const std::wstring& target, const std::wstring& shortcutFile,
                       const std::wstring& description);
