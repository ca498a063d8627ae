#pragma once
// Registers a completely extracted product with Windows: Start-menu shortcut and Uninstall entry.
// Runs on the extraction worker; best effort and silent, the installation counts as done anyway.
// Each step's result goes to the run's log.

#include <cstdint>
#include <optional>
#include <string>

#include "log/run_log.h"
#include "res/product_identity.h"

// `installedBytes` is the total size of the files written, for the entry's EstimatedSize. When the
// entry named another folder before, the product has moved as a major upgrade moves it: once the
// entry names the new folder, what the installation had placed in the old one is removed
// (system/installed_files.h); its shortcuts are replaced by this installation's. `madeAbove`, for a
// fresh installation, is the highest folder it made above its install folder (empty: none), which
// the entry records for the product's removal; an update keeps what the entry records.
void RegisterProduct(const ProductIdentity& product, const std::wstring& installFolder,
                     uint64_t installedBytes, CRunLog& log,
                     const std::optional<std::wstring>& madeAbove = std::nullopt);
