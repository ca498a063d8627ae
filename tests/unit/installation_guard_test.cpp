#include "staging/installation_guard.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/guard_squat.h"

namespace {

using testing_support::MakeGuardSquat;

// Whatever a user without administrator rights leaves at the guard's first name, one installation
// or removal runs, on the next name, and a second while it does is refused; once it has ended, the
// next one runs.
TEST(InstallationGuard, OneAtATimeWhateverAUserLeftAtItsName) {
    for (const wchar_t* squat : {L"", L"event", L"locked", L"users"}) {
        const std::wstring key = L"GuardTest" + std::wstring(squat);
        SCOPED_TRACE(key.c_str());
        const std::vector<std::wstring> names = InstallationGuardNames(key);
        const CKernelHandle squatter = MakeGuardSquat(squat, names[0]);
        ASSERT_EQ(bool(squatter), *squat != 0);
        EXPECT_EQ(ExamineGuardName(names[0]), *squat ? GuardName::Squatted : GuardName::Free);
        {
            const CInstallationGuard first(key);
            EXPECT_TRUE(first.Held());
            EXPECT_EQ(ExamineGuardName(names[*squat ? 1 : 0]), GuardName::Held);
            EXPECT_FALSE(CInstallationGuard(key).Held()) << "a second one runs beside it";
        }
        EXPECT_TRUE(CInstallationGuard(key).Held()) << "not released";
    }
}

// One installer passed a squatted name and took the next; the squatter then let its name go, and
// another installer takes that one: it must still see the first, and leave. A user who takes every
// name blocks nothing: the run goes ahead unguarded.
TEST(InstallationGuard, NamesFreedOrAllTakenLetNoSecondRunAndBlockNone) {
    const std::vector<std::wstring> names = InstallationGuardNames(L"GuardTestFreed");
    CKernelHandle squatter = MakeGuardSquat(L"event", names[0]);
    const CInstallationGuard first(L"GuardTestFreed");
    ASSERT_TRUE(first.Held());
    squatter.Reset();
    EXPECT_FALSE(CInstallationGuard(L"GuardTestFreed").Held());
    EXPECT_EQ(ExamineGuardName(names[0]), GuardName::Free) << "the second one let its name go";

    std::vector<CKernelHandle> squatters;
    for (const std::wstring& name : InstallationGuardNames(L"GuardTestEvery"))
        squatters.push_back(MakeGuardSquat(L"users", name));
    EXPECT_TRUE(CInstallationGuard(L"GuardTestEvery").Held());
}

// Handed down, the guard outlives the process that took it; only a mutex handle is taken for one,
// and any other number is left open.
TEST(InstallationGuard, HandedDownItOutlivesItsTaker) {
    std::optional<CInstallationGuard> taker(std::in_place, L"GuardTestHandDown");
    std::vector<CKernelHandle> handles;
    ASSERT_TRUE(taker->HandDown(handles));
    const CInstallationGuard child = CInstallationGuard::Inherited(uintptr_t(handles[0].Detach()));
    EXPECT_TRUE(child.Held());
    taker.reset();
    EXPECT_FALSE(CInstallationGuard(L"GuardTestHandDown").Held()) << "free while the child has it";

    const CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD flags = 0;
    EXPECT_FALSE(CInstallationGuard::Inherited(uintptr_t(event.Get())).Held());
    EXPECT_TRUE(GetHandleInformation(event, &flags)) << "still open";
    EXPECT_FALSE(CInstallationGuard::Inherited(0x7ffc).Held());
}

}  // namespace
