#pragma once
// What the installer does as its window goes away: after a successful installation the desktop
// shortcut and the product's start, each as the user chose; in every case the end of the message
// loop. Runs on the UI thread, which must have COM initialised (the entry point's CComInit).

#include <string>

#include "log/run_log.h"
#include "res/product_identity.h"

struct FinishChoices {
    bool installed = false;
    bool desktopShortcut = false;
    bool launch = false;
    std::wstring installFolder;
};

void RunFinishStep(const ProductIdentity& product, const FinishChoices& choices,
                   CRunLog& log = NoRunLog());

// The product's shortcut on the current user's desktop, its result in the log. Needs COM.
void MakeDesktopShortcut(const ProductIdentity& product, const std::wstring& installFolder,
                         CRunLog& log);
