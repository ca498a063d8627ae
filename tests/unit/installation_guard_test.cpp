#include "install/installation_guard.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/guard_squat.h"

namespace {

using testing_support::GuardSquat;
using testing_support::MakeGuardSquat;

// Which of the key's names another installer would find held.
std::vector<size_t> HeldNames(const std::wstring& key) {
    std::vector<size_t> held;
    const std::vector<std::wstring> names = InstallationGuardNames(key);
    for (size_t i = 0; i < names.size(); ++i)
        if (ExamineGuardName(names[i]) == GuardName::Held) held.push_back(i);
    return held;
}

// Whatever a user without administrator rights leaves at the guard's name, one installation or
// removal runs, and a second while it does is refused; once it has ended, the next one runs.
TEST(InstallationGuard, OneAtATimeWhateverAUserLeftAtItsName) {
    const std::optional<GuardSquat> squats[] = {std::nullopt, GuardSquat::Event,
                                                GuardSquat::LockedMutex, GuardSquat::UsersMutex};
    int round = 0;
    for (const auto& squat : squats) {
        const std::wstring key = L"GuardTest" + std::to_wstring(++round);
        SCOPED_TRACE(round);
        const std::vector<std::wstring> names = InstallationGuardNames(key);
        ASSERT_GT(names.size(), 1u);
        EXPECT_EQ(names[0], L"Global\\" + key + L".installation");
        CKernelHandle squatter;
        if (squat) {
            squatter = MakeGuardSquat(*squat, names[0]);
            ASSERT_TRUE(squatter);
        }
        EXPECT_EQ(ExamineGuardName(names[0]), squat ? GuardName::Squatted : GuardName::Free);
        {
            const CInstallationGuard first(key);
            EXPECT_TRUE(first.Held());
            EXPECT_EQ(HeldNames(key), std::vector<size_t>{squat ? 1u : 0u});
            EXPECT_FALSE(CInstallationGuard(key).Held()) << "a second one runs beside it";
        }
        EXPECT_TRUE(HeldNames(key).empty());
        EXPECT_TRUE(CInstallationGuard(key).Held()) << "not released";
    }
}

// One installer passed a squatted name and took the next; the squatter then let its name go, and
// another installer takes that one: it must still see the first, and leave.
TEST(InstallationGuard, ANameFreedBelowTheHeldOneDoesNotLetASecondRun) {
    const std::wstring key = L"GuardTestFreed";
    const std::vector<std::wstring> names = InstallationGuardNames(key);
    CKernelHandle squatter = MakeGuardSquat(GuardSquat::Event, names[0]);
    ASSERT_TRUE(squatter);
    const CInstallationGuard first(key);
    ASSERT_TRUE(first.Held());
    squatter.Reset();
    EXPECT_FALSE(CInstallationGuard(key).Held());
    EXPECT_EQ(ExamineGuardName(names[0]), GuardName::Free) << "the second one let its name go";
}

// A user who takes every name does not block installations: they run, unguarded.
TEST(InstallationGuard, EveryNameSquattedBlocksNothing) {
    const std::wstring key = L"GuardTestEvery";
    std::vector<CKernelHandle> squatters;
    for (const std::wstring& name : InstallationGuardNames(key)) {
        squatters.push_back(MakeGuardSquat(GuardSquat::UsersMutex, name));
        ASSERT_TRUE(squatters.back()) << name.c_str();
    }
    const CInstallationGuard guard(key);
    EXPECT_TRUE(guard.Held());
    CKernelHandle object, space;
    EXPECT_FALSE(guard.HandDown(object, space)) << "nothing to hand down";
}

// Handed down, the guard outlives the process that took it, and only the mutex handle is taken
// for one: any other number is refused and left open.
TEST(InstallationGuard, HandedDownItOutlivesItsTaker) {
    const std::wstring key = L"GuardTestHandDown";
    std::optional<CInstallationGuard> taker(std::in_place, key);
    ASSERT_TRUE(taker->Held());
    CKernelHandle object, space;
    ASSERT_TRUE(taker->HandDown(object, space));
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(object, &flags));
    EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);
    const CInstallationGuard child = CInstallationGuard::Inherited(uintptr_t(object.Detach()));
    EXPECT_TRUE(child.Held());
    taker.reset();
    EXPECT_FALSE(CInstallationGuard(key).Held()) << "free while the child holds it";

    const CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    CKernelHandle process;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                                process.Put(), SYNCHRONIZE, FALSE, 0));
    for (const HANDLE other : {event.Get(), process.Get()}) {
        EXPECT_FALSE(CInstallationGuard::Inherited(uintptr_t(other)).Held());
        EXPECT_TRUE(GetHandleInformation(other, &flags)) << "still open";
    }
    EXPECT_FALSE(CInstallationGuard::Inherited(0).Held());
    EXPECT_FALSE(CInstallationGuard::Inherited(0x7ffc).Held());
}

TEST(InstallationGuard, AKeyThatIsNoKeyNameHasNoNames) {
    EXPECT_TRUE(InstallationGuardNames(L"").empty());
    EXPECT_TRUE(InstallationGuardNames(L"a\\b").empty());
    EXPECT_TRUE(CInstallationGuard(L"").Held()) << "runs unguarded, as it is never registered";
}

}  // namespace
