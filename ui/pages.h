#pragma once
// The seven pages as data: which controls each shows, its banner, texts and background mode, and
// the rules by which the window's m_page moves.

#include <windows.h>

#include <array>
#include <cstdint>

#include "res/string_ids.h"
#include "ui/control_ids.h"

enum InstallerPage : int32_t {
    PageWelcome = 1,
    PageInstalling = 2,
    PageInstallingAlt1 = 3,
    PageInstallingAlt2 = 4,
    PageSucceeded = 5,
    PageFailed = 6,
    PageUpdating = 7,
};

constexpr bool IsInstallerPage(int page) {
    return page >= PageWelcome && page <= PageUpdating;
}

// The installation is running on these pages, so the close button is inert.
constexpr bool IsInstallingPage(int page) {
    return page == PageInstalling || page == PageInstallingAlt1 || page == PageInstallingAlt2;
}

constexpr bool IsResultPage(int page) {
    return page == PageSucceeded || page == PageFailed;
}

// The window's pictures that can fill the banner.
enum class BannerPicture { None, Welcome, Progress1, Progress2, Progress3, CommandLine };

struct PageSpec {
    InstallerPage page;
    BannerPicture banner;
    int backgroundMode;    // of the title and close button: TRANSPARENT or OPAQUE
    uint32_t shown;        // bit RoleIndex(role) set for each switched control shown
    bool resultContent;    // result picture, heading and message are set
    StringId resultTitle;  // read only with resultContent
    StringId resultText;   // read only with resultContent
    bool successColours;   // Finish button from IDS_BUTTON_*COLOR, title from IDS_TITLE_DONE_COLOR
};

// Any value outside 1 to 7 gives the welcome page's entry.
const PageSpec& PageSpecFor(InstallerPage page);

// The order in which a page switch shows and hides the switched controls.
extern const std::array<ControlRole, kControlCount - 3> kSwitchOrder;

bool IsShownOn(const PageSpec& spec, ControlRole role);

enum class PageSwitch {
    Relayout,  // m_page stays; the controls are only laid out again
    Switch,    // store the page in m_page, change the controls, then lay out
};

// A request for the page already shown, for no valid page, or for an earlier page once a result
// page is up, only lays out again: the flow only goes forward and m_page always names what is on
// screen.
PageSwitch ClassifyPageSwitch(int current, int requested);
