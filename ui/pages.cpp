#include "ui/pages.h"

namespace {

constexpr uint32_t Bit(ControlRole role) {
    return 1u << RoleIndex(role);
}

constexpr uint32_t kWelcomeControls =
    Bit(ControlRole::Banner) | Bit(ControlRole::InstallButton) | Bit(ControlRole::AgreeCheck) |
    Bit(ControlRole::LicenceLink) | Bit(ControlRole::CustomToggle) |
    Bit(ControlRole::LocationLabel) | Bit(ControlRole::BrowseButton);
constexpr uint32_t kProgressControls =
    Bit(ControlRole::Banner) | Bit(ControlRole::StatusLabel) | Bit(ControlRole::ProgressBar);
constexpr uint32_t kResultControls =
    Bit(ControlRole::ResultImage) | Bit(ControlRole::ResultTitle) | Bit(ControlRole::ResultText);
constexpr uint32_t kSucceededControls = kResultControls | Bit(ControlRole::ShortcutCheck) |
                                        Bit(ControlRole::LaunchCheck) |
                                        Bit(ControlRole::FinishButton);
constexpr uint32_t kFailedControls = kResultControls | Bit(ControlRole::ContactButton);

// The title and close button are drawn over the banner where there is one, on white otherwise.
const std::array<PageSpec, 7> kPages = {{
    {PageWelcome, BannerPicture::Welcome, TRANSPARENT, kWelcomeControls, false, IDS_TITLE,
     IDS_TITLE, false},
    {PageInstalling, BannerPicture::Progress1, TRANSPARENT, kProgressControls, false, IDS_TITLE,
     IDS_TITLE, false},
    {PageInstallingAlt1, BannerPicture::Progress2, TRANSPARENT, kProgressControls, false, IDS_TITLE,
     IDS_TITLE, false},
    {PageInstallingAlt2, BannerPicture::Progress3, TRANSPARENT, kProgressControls, false, IDS_TITLE,
     IDS_TITLE, false},
    {PageSucceeded, BannerPicture::None, OPAQUE, kSucceededControls, true, IDS_SUCCEEDED_TITLE,
     IDS_SUCCEEDED_TEXT, true},
    {PageFailed, BannerPicture::None, OPAQUE, kFailedControls, true, IDS_FAILED_TITLE,
     IDS_FAILED_TEXT, false},
    {PageUpdating, BannerPicture::CommandLine, TRANSPARENT, kProgressControls, false, IDS_TITLE,
     IDS_TITLE, false},
}};

}  // namespace

const std::array<ControlRole, kControlCount - 3> kSwitchOrder = {
    ControlRole::Banner,        ControlRole::InstallButton, ControlRole::AgreeCheck,
    ControlRole::LicenceLink,   ControlRole::CustomToggle,  ControlRole::LocationLabel,
    ControlRole::BrowseButton,  ControlRole::StatusLabel,   ControlRole::ProgressBar,
    ControlRole::ResultImage,   ControlRole::ResultTitle,   ControlRole::ResultText,
    ControlRole::ShortcutCheck, ControlRole::LaunchCheck,   ControlRole::FinishButton,
    ControlRole::ContactButton,
};

const PageSpec& PageSpecFor(InstallerPage page) {
    return kPages[IsInstallerPage(page) ? page - PageWelcome : 0];
}

bool IsShownOn(const PageSpec& spec, ControlRole role) {
    return (spec.shown & Bit(role)) != 0;
}

PageSwitch ClassifyPageSwitch(int current, int requested) {
    if (requested == current || !IsInstallerPage(requested)) return PageSwitch::Relayout;
    if (IsResultPage(current)) return PageSwitch::Relayout;
    return PageSwitch::Switch;
}
