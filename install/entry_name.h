#pragma once
// Whether an archive entry name stays inside the install folder once joined to it.

#include <string>

// False for a name that would reach outside the folder: a ".." component (or one Windows reduces to
// it), a drive, UNC or device prefix, a colon anywhere (drives and alternate data streams), a name
// still rooted after its one leading backslash is dropped, a reserved device name such as "NUL" or
// "COM1", or a control character (an embedded NUL would cut the path short).
bool IsSafeEntryName(const std::wstring& name);
