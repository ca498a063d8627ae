#include "ui/tab_order.h"

#include <algorithm>

#include "ui/pages.h"

std::vector<ControlRole> TabOrder(int page, bool customExpanded) {
    using R = ControlRole;
    switch (page) {
        case PageWelcome:
            if (customExpanded)
                return {R::InstallButton, R::AgreeCheck,   R::LicenceLink, R::CustomToggle,
                        R::PathEdit,      R::BrowseButton, R::CloseButton};
            return {R::InstallButton, R::AgreeCheck, R::LicenceLink, R::CustomToggle,
                    R::CloseButton};
        case PageSucceeded:
            return {R::FinishButton, R::ShortcutCheck, R::LaunchCheck, R::CloseButton};
        case PageFailed:
            return {R::ContactButton, R::CloseButton};
        case PageUpdating:
            return {R::CloseButton};
        default:
            return {};
    }
}

std::optional<ControlRole> NextTabStop(const std::vector<ControlRole>& order,
                                       std::optional<ControlRole> current, bool backward) {
    if (order.empty()) return std::nullopt;
    const auto found = current ? std::find(order.begin(), order.end(), *current) : order.end();
    if (found == order.end()) return backward ? order.back() : order.front();
    const size_t at = size_t(found - order.begin());
    const size_t n = order.size();
    return order[backward ? (at + n - 1) % n : (at + 1) % n];
}
