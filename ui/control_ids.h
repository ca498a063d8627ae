#pragma once
// Ids and roles of the main window's nineteen child controls.

#include <array>
#include <cstddef>

// The window dispatches WM_COMMAND on the low word of wParam alone, so only the ten controls that
// raise commands may carry an id from this range.
enum CommandId : int {
    IDC_CLOSE = 1000,
    IDC_INSTALL = 1001,
    IDC_AGREE = 1002,
    IDC_LICENCE_LINK = 1003,
    IDC_CUSTOM_INSTALL = 1004,
    IDC_BROWSE = 1005,
    IDC_FINISH = 1006,
    IDC_CONTACT = 1007,
    IDC_DESKTOP_SHORTCUT = 1008,
    IDC_LAUNCH_NOW = 1009,
};

// The controls in the window's member order, which is also the order of placement.
enum class ControlRole : int {
    Title,
    CloseButton,
    Banner,
    InstallButton,
    AgreeCheck,
    LicenceLink,
    CustomToggle,
    LocationLabel,
    PathEdit,
    BrowseButton,
    StatusLabel,
    ProgressBar,
    ResultImage,
    ResultTitle,
    ResultText,
    FinishButton,
    ShortcutCheck,
    LaunchCheck,
    ContactButton,
};

constexpr size_t kControlCount = 19;

constexpr size_t RoleIndex(ControlRole role) {
    return static_cast<size_t>(role);
}

constexpr std::array<ControlRole, kControlCount> kMemberOrder = {
    ControlRole::Title,         ControlRole::CloseButton,   ControlRole::Banner,
    ControlRole::InstallButton, ControlRole::AgreeCheck,    ControlRole::LicenceLink,
    ControlRole::CustomToggle,  ControlRole::LocationLabel, ControlRole::PathEdit,
    ControlRole::BrowseButton,  ControlRole::StatusLabel,   ControlRole::ProgressBar,
    ControlRole::ResultImage,   ControlRole::ResultTitle,   ControlRole::ResultText,
    ControlRole::FinishButton,  ControlRole::ShortcutCheck, ControlRole::LaunchCheck,
    ControlRole::ContactButton,
};

// Controls that raise no command get 1100 + their member index: unique, so that the reflection
// of WM_MEASUREITEM and WM_PARENTNOTIFY by child id finds exactly one control, and never 0, the
// id a mouse-button WM_PARENTNOTIFY carries in its high word.
constexpr int kFirstPlainControlId = 1100;

constexpr int ControlId(ControlRole role) {
    switch (role) {
        case ControlRole::CloseButton:
            return IDC_CLOSE;
        case ControlRole::InstallButton:
            return IDC_INSTALL;
        case ControlRole::AgreeCheck:
            return IDC_AGREE;
        case ControlRole::LicenceLink:
            return IDC_LICENCE_LINK;
        case ControlRole::CustomToggle:
            return IDC_CUSTOM_INSTALL;
        case ControlRole::BrowseButton:
            return IDC_BROWSE;
        case ControlRole::FinishButton:
            return IDC_FINISH;
        case ControlRole::ContactButton:
            return IDC_CONTACT;
        case ControlRole::ShortcutCheck:
            return IDC_DESKTOP_SHORTCUT;
        case ControlRole::LaunchCheck:
            return IDC_LAUNCH_NOW;
        default:
            return kFirstPlainControlId + static_cast<int>(role);
    }
}
