#include "ui/pages.h"

#include <gtest/gtest.h>

#include "ui/tab_order.h"

#include <algorithm>
#include <string>

namespace {

// The visibility table, one row per switched control, one column per page 1 to 7.
struct VisibilityRow {
    ControlRole role;
    const char* pages;
};
constexpr VisibilityRow kVisibility[] = {
    {ControlRole::Banner, "SSSSHHS"},        {ControlRole::InstallButton, "SHHHHHH"},
    {ControlRole::AgreeCheck, "SHHHHHH"},    {ControlRole::LicenceLink, "SHHHHHH"},
    {ControlRole::CustomToggle, "SHHHHHH"},  {ControlRole::LocationLabel, "SHHHHHH"},
    {ControlRole::BrowseButton, "SHHHHHH"},  {ControlRole::StatusLabel, "HSSSHHS"},
    {ControlRole::ProgressBar, "HSSSHHS"},   {ControlRole::ResultImage, "HHHHSSH"},
    {ControlRole::ResultTitle, "HHHHSSH"},   {ControlRole::ResultText, "HHHHSSH"},
    {ControlRole::ShortcutCheck, "HHHHSHH"}, {ControlRole::LaunchCheck, "HHHHSHH"},
    {ControlRole::FinishButton, "HHHHSHH"},  {ControlRole::ContactButton, "HHHHHSH"},
};

constexpr InstallerPage kAllPages[] = {PageWelcome,        PageInstalling, PageInstallingAlt1,
                                       PageInstallingAlt2, PageSucceeded,  PageFailed,
                                       PageUpdating};

TEST(Pages, VisibilityOfEveryControlOnEveryPage) {
    for (const VisibilityRow& row : kVisibility) {
        for (InstallerPage page : kAllPages) {
            const bool shown = row.pages[page - 1] == 'S';
            EXPECT_EQ(IsShownOn(PageSpecFor(page), row.role), shown)
                << "control " << RoleIndex(row.role) << ", page " << page;
        }
    }
}

bool IsFixed(ControlRole role) {
    return role == ControlRole::Title || role == ControlRole::CloseButton ||
           role == ControlRole::PathEdit;
}

TEST(Pages, TitleCloseButtonAndPathEditAreNeverSwitched) {
    for (ControlRole role : kMemberOrder) {
        const bool fixed = IsFixed(role);
        const bool switched =
            std::find(kSwitchOrder.begin(), kSwitchOrder.end(), role) != kSwitchOrder.end();
        EXPECT_EQ(switched, !fixed) << RoleIndex(role);
        if (fixed) {
            for (InstallerPage page : kAllPages) {
                EXPECT_FALSE(IsShownOn(PageSpecFor(page), role)) << RoleIndex(role);
            }
        }
    }
}

TEST(Pages, SwitchOrderCoversEachSwitchedControlOnce) {
    std::string seen(kControlCount, '-');
    for (ControlRole role : kSwitchOrder) {
        EXPECT_FALSE(IsFixed(role)) << RoleIndex(role);
        EXPECT_EQ(seen[RoleIndex(role)], '-') << RoleIndex(role);
        seen[RoleIndex(role)] = 'x';
    }
    // The finish button comes after the two check boxes of the success page.
    const auto at = [](ControlRole role) {
        return std::find(kSwitchOrder.begin(), kSwitchOrder.end(), role) - kSwitchOrder.begin();
    };
    EXPECT_LT(at(ControlRole::LaunchCheck), at(ControlRole::FinishButton));
    EXPECT_LT(at(ControlRole::FinishButton), at(ControlRole::ContactButton));
    EXPECT_EQ(at(ControlRole::Banner), 0);
}

TEST(Pages, BannerBackgroundAndContentPerPage) {
    struct Case {
        InstallerPage page;
        BannerPicture banner;
        int backgroundMode;
        bool result;
        StringId title, text;
        bool successColours;
    };
    for (auto c : {
             Case{PageWelcome, BannerPicture::Welcome, TRANSPARENT, false, {}, {}, false},
             Case{PageInstalling, BannerPicture::Progress1, TRANSPARENT, false, {}, {}, false},
             Case{PageInstallingAlt1, BannerPicture::Progress2, TRANSPARENT, false, {}, {}, false},
             Case{PageInstallingAlt2, BannerPicture::Progress3, TRANSPARENT, false, {}, {}, false},
             Case{PageSucceeded, BannerPicture::None, OPAQUE, true, IDS_SUCCEEDED_TITLE,
                  IDS_SUCCEEDED_TEXT, true},
             Case{PageFailed, BannerPicture::None, OPAQUE, true, IDS_FAILED_TITLE, IDS_FAILED_TEXT,
                  false},
             Case{PageUpdating, BannerPicture::CommandLine, TRANSPARENT, false, {}, {}, false},
         }) {
        const PageSpec& spec = PageSpecFor(c.page);
        EXPECT_EQ(spec.page, c.page);
        EXPECT_EQ(spec.banner, c.banner) << c.page;
        EXPECT_EQ(spec.backgroundMode, c.backgroundMode) << c.page;
        EXPECT_EQ(spec.resultContent, c.result) << c.page;
        if (c.result) {
            EXPECT_EQ(spec.resultTitle, c.title) << c.page;
            EXPECT_EQ(spec.resultText, c.text) << c.page;
        }
        EXPECT_EQ(spec.successColours, c.successColours) << c.page;
        // A page with a banner shows it; the result pages show none.
        EXPECT_EQ(IsShownOn(spec, ControlRole::Banner), c.banner != BannerPicture::None) << c.page;
    }
}

TEST(Pages, OutOfRangePagesFallBackToTheWelcomeEntry) {
    for (int page : {0, 8, -1}) {
        EXPECT_EQ(PageSpecFor(static_cast<InstallerPage>(page)).page, PageWelcome) << page;
    }
}

TEST(Pages, CloseButtonIsInertOnlyWhileInstallingFromTheWindow) {
    for (int page = 0; page <= 8; ++page) {
        EXPECT_EQ(IsInstallingPage(page), page >= 2 && page <= 4) << page;
    }
}

TEST(Pages, SwitchRules) {
    struct Case {
        int current, requested;
        PageSwitch expected;
    };
    for (auto c : {
             Case{0, PageWelcome, PageSwitch::Switch},
             Case{0, PageUpdating, PageSwitch::Switch},
             Case{PageWelcome, PageInstalling, PageSwitch::Switch},
             Case{PageInstalling, PageSucceeded, PageSwitch::Switch},
             Case{PageInstalling, PageFailed, PageSwitch::Switch},
             Case{PageUpdating, PageSucceeded, PageSwitch::Switch},
             Case{PageUpdating, PageFailed, PageSwitch::Switch},
             Case{PageWelcome, PageWelcome, PageSwitch::Relayout},
             Case{PageSucceeded, PageSucceeded, PageSwitch::Relayout},
             // A result that overtook the switch to the installing page stays on screen.
             Case{PageFailed, PageInstalling, PageSwitch::Relayout},
             Case{PageSucceeded, PageUpdating, PageSwitch::Relayout},
             Case{PageSucceeded, PageFailed, PageSwitch::Relayout},
             // No page outside 1 to 7 is ever stored.
             Case{PageWelcome, 0, PageSwitch::Relayout},
             Case{PageWelcome, 8, PageSwitch::Relayout},
             Case{0, -3, PageSwitch::Relayout},
         }) {
        EXPECT_EQ(ClassifyPageSwitch(c.current, c.requested), c.expected)
            << c.current << " -> " << c.requested;
    }
}

// The keyboard reaches only what the page shows (the path edit is never hidden, only outside the
// window while the custom section is closed), and nothing where nothing can be used.
TEST(Pages, TabOrderHoldsOnlyWhatThePageShows) {
    for (InstallerPage page : kAllPages) {
        for (bool expanded : {false, true}) {
            for (ControlRole role : TabOrder(page, expanded)) {
                const bool inside =
                    role == ControlRole::CloseButton ||
                    (role == ControlRole::PathEdit && page == PageWelcome && expanded) ||
                    IsShownOn(PageSpecFor(page), role);
                EXPECT_TRUE(inside) << "control " << RoleIndex(role) << ", page " << page;
            }
        }
    }
    EXPECT_TRUE(TabOrder(PageInstalling, false).empty()) << "the close button is inert there";
}

TEST(Pages, NextTabStopWrapsAndStartsAtAnEnd) {
    using R = ControlRole;
    const std::vector<R> order = {R::FinishButton, R::ShortcutCheck, R::CloseButton};
    struct Case {
        std::optional<R> current;
        bool backward;
        R expected;
    };
    for (auto c :
         {Case{R::FinishButton, false, R::ShortcutCheck},
          Case{R::CloseButton, false, R::FinishButton}, Case{R::FinishButton, true, R::CloseButton},
          Case{R::ShortcutCheck, true, R::FinishButton}, Case{std::nullopt, false, R::FinishButton},
          Case{std::nullopt, true, R::CloseButton}, Case{R::InstallButton, false, R::FinishButton},
          Case{R::InstallButton, true, R::CloseButton}}) {
        EXPECT_EQ(NextTabStop(order, c.current, c.backward), c.expected)
            << (c.current ? int(*c.current) : -1) << (c.backward ? " back" : " forward");
    }
    EXPECT_EQ(NextTabStop({}, R::CloseButton, false), std::nullopt);
    EXPECT_EQ(NextTabStop({R::CloseButton}, R::CloseButton, true), R::CloseButton);
}

}  // namespace
