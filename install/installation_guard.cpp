#include "install/installation_guard.h"

#include <windows.h>

#include "install/uninstall_entry.h"

std::wstring InstallationGuardName(const std::wstring& productKey) {
    return IsUninstallKeyName(productKey) ? L"Global\\" + productKey + L".installation"
                                          : std::wstring();
}

CInstallationGuard::CInstallationGuard(const std::wstring& productKey) {
    const std::wstring name = InstallationGuardName(productKey);
    // A product without a usable key name has nothing to name the guard after; it runs unguarded,
    // as it is also never registered.
    if (name.empty()) {
        m_held = true;
        return;
    }
    // Making an object in the global namespace takes a privilege that administrators and services
    // hold, and an elevated program's default security lets only them open it: a user's program
    // can neither take the name first nor hold it open.
    m_object.Reset(CreateMutexW(nullptr, FALSE, name.c_str()));
    m_held = m_object && GetLastError() != ERROR_ALREADY_EXISTS;
    if (!m_held) m_object.Reset();
}
