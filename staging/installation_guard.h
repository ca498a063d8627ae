#pragma once
// One installation or removal of a product at a time: a mutex named after the product's Uninstall
// key, seen by every session. Whoever makes it holds the guard; whoever finds it made leaves
// everything alone. It lasts while any handle to it is open, so it goes with its process, also a
// killed one, or passes to a child that inherited a handle to it.
//
// No less privileged process may take the name first and so block every installation. The mutex
// therefore lives in a private namespace whose boundary only an elevated administrator (or the
// system) is within, and beside it under a global name, where an object counts as the guard only
// when it is a mutex owned by administrators or the system: anything else, which anyone may make,
// is passed over for the next of a few further names. Where there are no private namespaces
// (Wine), the global name is the guard alone.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_handle.h"

// "Global\" + the key name + ".installation", then that name with ".1", ".2", ...; none when the
// key name is not one key's name.
std::vector<std::wstring> InstallationGuardNames(const std::wstring& productKey);

// What a name holds, as the guard sees it: nothing, another installer's guard (a mutex that
// administrators or the system own), or something anyone could have made.
enum class GuardName { Free, Held, Squatted };
GuardName ExamineGuardName(const std::wstring& name);

class CInstallationGuard {
public:
    // Not held.
    CInstallationGuard() = default;
    explicit CInstallationGuard(const std::wstring& productKey);
    // The guard a parent handed down to this process under the handle number `value`: held when
    // that is a mutex handle this process holds.
    static CInstallationGuard Inherited(uintptr_t value);

    // False when another installation or removal of the product holds it.
    bool Held() const { return m_held; }

    // Inheritable duplicates of what holds the guard, for a child process started with handle
    // inheritance that is to hold it on after this process has ended; the first is a mutex, the
    // number to give it for Inherited. False when there is nothing to hand down.
    bool HandDown(std::vector<CKernelHandle>& handles) const;

private:
    // False when another holds the guard.
    bool TakeInPrivateNamespace(const std::wstring& productKey);
    bool TakeGlobalName(const std::wstring& productKey);

    CKernelHandle m_globalMutex;
    CKernelHandle m_spaceMutex;
    CPrivateNamespace m_namespace;
    bool m_held = false;
};
