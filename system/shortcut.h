#pragma once
// Shell links (.lnk files) made by the installer. Needs COM on the calling thread. The link is
// made in memory and its bytes written through a checked handle (platform/checked_file.h), so a
// folder that is or lies below a link gets no shortcut, never one written where it leads.

#include <windows.h>

#include <string>

#include "log/run_log.h"
#include "platform/checked_file.h"

// The bytes of a link to `target` with `description`, showing the target's first icon. Nothing
// else is set on the link.
HRESULT ShortcutBytes(const std::wstring& target, const std::wstring& description,
                      std::string& bytes);

// Writes (or overwrites) `shortcutFile`, or the file `name` in `folder`, as such a link. When
// something stands at the file's or a folder's path that is not what was meant there (a link, a
// folder, a file with a second name), `why` says what.
HRESULT CreateShortcut(const std::wstring& target, const std::wstring& shortcutFile,
                       const std::wstring& description, std::wstring* why = nullptr);
HRESULT CreateShortcut(const std::wstring& target, const CheckedFolder& folder,
                       const std::wstring& name, const std::wstring& description,
                       std::wstring* why = nullptr);

struct MadeShortcut {
    HRESULT result = E_FAIL;
    std::wstring path;  // where it is, or was to be
    std::wstring why;   // when a folder or the file was not what was meant: what stood there
};

// "STEP: done (PATH)"; "STEP: skipped (WHY)" when a folder or the file was not what was meant;
// otherwise the failure.
void LogShortcut(CRunLog& log, const std::wstring& step, const MadeShortcut& made);
