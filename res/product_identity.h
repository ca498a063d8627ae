#pragma once
// Who the product is and how the skin is coloured, as the string table says: read once at start-up
// and handed to everything that names, registers, starts or paints the product, so that a test can
// hand in an identity of its own.

#include <windows.h>

#include <string>

struct SkinColors {
    COLORREF progress = 0;       // the progress bar's fill
    COLORREF button = 0;         // the yellow buttons' fill, normal
    COLORREF buttonHover = 0;    // ... while the pointer is over them
    COLORREF buttonPressed = 0;  // ... while pressed
    COLORREF buttonText = 0;     // their text, and the title's until the success page
    COLORREF titleDone = 0;      // the title once the success page has been shown
};

struct ProductIdentity {
    std::wstring uninstallKey;     // the Uninstall subkey's name
    std::wstring defaultFolder;    // the install folder offered first
    std::wstring shortcutName;     // shortcut file name (without ".lnk") and description
    std::wstring startMenuFolder;  // the Start-menu folder's name
    std::wstring displayName;      // as Programs and Features lists it
    std::wstring version;
    std::wstring publisher;
    std::wstring processName;  // image name of the running copies ended before installing
    std::wstring exeName;      // the product's executable in the install folder
    std::wstring licenceUrl;
    SkinColors colors;
};

// From the table in the thread's UI language; a missing entry leaves its field empty (black for a
// colour).
ProductIdentity ReadProductIdentity();
