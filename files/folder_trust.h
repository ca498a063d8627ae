#pragma once
// The one rule for the folders an elevated run acts through: may a standard user change what a
// folder leads to (rename or delete it, put another in its place, change its access list or take
// it over)? The installer, the product move and the uninstaller all ask it.

#include <windows.h>

#include <string>

// Why a standard user may change the folder that `folder` describes (its owner and access list),
// below the folder that `parent` describes; empty when no one but the system, the administrators
// and TrustedInstaller may. `trustedUser`, when not null, is trusted as well. Only allowing
// entries that apply to the folder itself count, generic rights mapped as for files: DELETE,
// WRITE_DAC or WRITE_OWNER on it, or FILE_DELETE_CHILD on its parent. A missing access list lets
// everyone do anything.
std::wstring FindChangeableReason(PSECURITY_DESCRIPTOR folder, PSECURITY_DESCRIPTOR parent,
                                  PSID trustedUser);

// Whether a process of the run's own user may run without administrator rights: the token is split
// (`type` full or limited) and its limited half does not hold the Administrators group enabled.
bool OwnUserHasStandardSide(TOKEN_ELEVATION_TYPE type, bool limitedHoldsAdministrators);

// The first existing level from the root's first child down to `folder` (a whole path) that a
// standard user may change, and why, for the log; or one that is a link (a junction, a symbolic
// link, a mount point), or cannot be read. Empty when there is none: the levels that do not exist
// yet are the run's to make.
std::wstring FindChangeableLevel(const std::wstring& folder);
