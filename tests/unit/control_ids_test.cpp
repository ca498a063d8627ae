#include "ui/control_ids.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(ControlIds, CommandControlsCarryTheirCommandIds) {
    struct Case {
        ControlRole role;
        int id;
    };
    for (auto c : {Case{ControlRole::CloseButton, 1000}, Case{ControlRole::InstallButton, 1001},
                   Case{ControlRole::AgreeCheck, 1002}, Case{ControlRole::LicenceLink, 1003},
                   Case{ControlRole::CustomToggle, 1004}, Case{ControlRole::BrowseButton, 1005},
                   Case{ControlRole::FinishButton, 1006}, Case{ControlRole::ContactButton, 1007},
                   Case{ControlRole::ShortcutCheck, 1008}, Case{ControlRole::LaunchCheck, 1009}}) {
        EXPECT_EQ(ControlId(c.role), c.id) << RoleIndex(c.role);
    }
}

TEST(ControlIds, EveryIdIsUniqueAndOnlyCommandControlsUseTheCommandRange) {
    std::set<int> ids;
    int commands = 0;
    for (ControlRole role : kMemberOrder) {
        const int id = ControlId(role);
        EXPECT_TRUE(ids.insert(id).second) << id;
        EXPECT_NE(id, 0);
        EXPECT_NE(id, 104) << "the accelerators' command";
        EXPECT_LE(id, 0xFFFF) << "ids travel in a 16-bit word";
        if (id >= IDC_CLOSE && id <= IDC_LAUNCH_NOW) ++commands;
    }
    EXPECT_EQ(commands, 10);
}

TEST(ControlIds, MemberOrderHoldsEveryControlOnceAtItsIndex) {
    for (size_t i = 0; i < kControlCount; ++i) EXPECT_EQ(RoleIndex(kMemberOrder[i]), i);
}

}  // namespace
