#pragma once
// setup.exe's exit codes, which deployment tools and scripts act on.

#include "extraction/install_outcome.h"

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
