#pragma once
// The installation without a window (setup.exe /S): the worker runs as it does for the window,
// then the product is registered and, unless declined, its desktop shortcut made. Nothing is shown,
// nothing waits for input, and the product is never started.

#include <string>

#include "extraction/install_outcome.h"
#include "log/run_log.h"
#include "res/product_identity.h"

struct SilentChoices {
    std::wstring installFolder;
    bool desktopShortcut = true;
};

// Returns once the installation has ended. Needs no COM of the caller's.
InstallOutcome RunSilentInstall(const ProductIdentity& product, const SilentChoices& choices,
                                CRunLog& log);
