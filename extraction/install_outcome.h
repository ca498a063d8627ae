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
