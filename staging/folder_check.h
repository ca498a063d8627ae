#pragma once
// What is checked of the install folder before the first write, so that an installation that could
// not be carried out ends with nothing written: the folder rule (files/install_folder.h), paths
// longer than Windows programs open, a folder that holds the installed product's folder or lies in
// it (the product would move there, and removing what it left in the one folder could reach the
// other), a drive or share that cannot be reached or written, a level a standard user may change
// (files/folder_trust.h), and a sub-folder that is a link (an update never follows one).

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The entry names of a payload archive held in memory, read without decoding anything; nothing
// when the archive is malformed, which its extraction then reports.
std::optional<std::vector<std::wstring>> ReadPayloadNames(const void* archive, size_t size);

// Why nothing can be made on the drive or share `root` ("C:\", "\\server\share\"): it cannot be
// reached, or it is read-only; empty when it can.
std::wstring FindVolumeProblem(const std::wstring& root);

// Whether the drive or share `root` can be reached and is not read-only; false with the system's
// reason as the last error.
bool CanWriteVolume(const std::wstring& root);

// Why installing the entries `names` into `folder` cannot be carried out, for the log; empty when
// it can. `productKey` names the installed product's Uninstall entry.
std::wstring FindInstallFolderProblem(const std::wstring& folder, const std::wstring& productKey,
                                      const std::vector<std::wstring>& names);

// Whether a drive or share root ("C:\", "\\server\share\") is there.
bool VolumeExists(const std::wstring& root);
