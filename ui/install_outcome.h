#pragma once
// What became of the installation, told to whoever started setup.exe through its exit code.

#include <atomic>
#include <memory>

enum class InstallOutcome {
    NotStarted,  // the window was closed before any installation began
    Succeeded,
    Failed,     // the installation failed: the failure page
    Cancelled,  // the window was closed while the installation ran
};

// Written by the worker's last report, which can come while the window object is being destroyed,
// so it is shared with whoever reads it after that.
using SharedInstallOutcome = std::shared_ptr<std::atomic<InstallOutcome>>;

constexpr int kExitFailed = 2;
constexpr int kExitCancelled = 3;
// Another installation or removal of the product runs: nothing was done; try again later.
constexpr int kExitAnotherRunning = 4;
// The command line is not understood, or its log file cannot be opened: nothing was done.
constexpr int kExitUsage = 5;

// 0 when the installation succeeded or none was started, kExitFailed when it failed and
// kExitCancelled when it was cancelled.
constexpr int SetupExitCode(InstallOutcome outcome) {
    switch (outcome) {
        case InstallOutcome::Failed:
            return kExitFailed;
        case InstallOutcome::Cancelled:
            return kExitCancelled;
        default:
            return 0;
    }
}
