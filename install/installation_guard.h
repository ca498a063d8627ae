#pragma once
// One installation or removal of a product at a time: a named object in the global namespace, so
// that runs in two sessions see each other too, named after the product's Uninstall key. Whoever
// holds it runs; whoever finds it taken leaves everything alone. It goes with its process, also a
// killed one.

#include <string>

#include "platform/unique_handle.h"

// "Global\" + the key name + ".installation"; empty when the key name is not one key's name.
std::wstring InstallationGuardName(const std::wstring& productKey);

class CInstallationGuard {
public:
    explicit CInstallationGuard(const std::wstring& productKey);
    // False when another installation or removal of the product holds it.
    bool Held() const { return m_held; }

private:
    CKernelHandle m_object;
    bool m_held = false;
};
