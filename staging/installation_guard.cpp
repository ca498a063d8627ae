#include "staging/installation_guard.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "system/uninstall_entry.h"

namespace {

// Names after the first, for when those before are taken by objects no installer made.
constexpr int kFurtherNames = 7;

// Administrators own the guard and its namespace, and only they and the system may open them.
constexpr wchar_t kGuardSecurity[] = L"O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)";

class CGuardSecurity {
public:
    CGuardSecurity() {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(kGuardSecurity, SDDL_REVISION_1,
                                                             m_descriptor.Put(), nullptr);
        m_attributes.lpSecurityDescriptor = m_descriptor.Get();
    }
    SECURITY_ATTRIBUTES* Get() { return m_descriptor ? &m_attributes : nullptr; }

private:
    CLocalMemory<PSECURITY_DESCRIPTOR> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Only an elevated administrator or the system can have made an object that administrators or
// the system own: a standard user cannot name either as an object's owner.
bool OwnedByAdministrators(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const CLocalMemory<PSECURITY_DESCRIPTOR> owned(descriptor);
    return owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                     IsWellKnownSid(owner, WinLocalSystemSid));
}

// An object that an attempt to make or open the mutex `name` met: `object` its handle, or null
// with `error` the reason.
GuardName Classify(HANDLE object, DWORD error) {
    if (object) return OwnedByAdministrators(object) ? GuardName::Held : GuardName::Squatted;
    // Another kind of object under the name, or one this process may not open.
    return error == ERROR_FILE_NOT_FOUND ? GuardName::Free : GuardName::Squatted;
}

// A mutex that no thread of this process owns refuses to be released with ERROR_NOT_OWNER; any
// other kind of handle, or a number that is none, with ERROR_INVALID_HANDLE. Nothing changes.
bool IsMutexHandle(HANDLE handle) {
    return !ReleaseMutex(handle) && GetLastError() == ERROR_NOT_OWNER;
}

}  // namespace

std::vector<std::wstring> InstallationGuardNames(const std::wstring& productKey) {
    std::vector<std::wstring> names;
    if (!IsUninstallKeyName(productKey)) return names;
    const std::wstring first = L"Global\\" + productKey + L".installation";
    names.push_back(first);
    for (int i = 1; i <= kFurtherNames; ++i) names.push_back(first + L"." + std::to_wstring(i));
    return names;
}

GuardName ExamineGuardName(const std::wstring& name) {
    SetLastError(ERROR_SUCCESS);
    const CKernelHandle object(OpenMutexW(READ_CONTROL | SYNCHRONIZE, FALSE, name.c_str()));
    return Classify(object, GetLastError());
}

CInstallationGuard::CInstallationGuard(const std::wstring& productKey) {
    // A product without a usable key name has nothing to name the guard after; it runs unguarded,
    // as it is also never registered.
    if (!IsUninstallKeyName(productKey)) {
        m_held = true;
        return;
    }
    // The global name too, where there is a namespace: it keeps the guard should the namespace not
    // outlive the process that made it while another holds the mutex in it, and it is the guard of
    // installers that knew no namespace. Objects a user leaves there block nothing.
    m_held = TakeInPrivateNamespace(productKey) && TakeGlobalName(productKey);
    if (!m_held) {
        m_spaceMutex.Reset();
        m_namespace.Reset();
        m_globalMutex.Reset();
    }
}

CInstallationGuard CInstallationGuard::Inherited(uintptr_t value) {
    CInstallationGuard guard;
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    // Whatever else the number names is left as it is, never closed.
    if (value != 0 && IsMutexHandle(handle)) {
        guard.m_globalMutex.Reset(handle);
        guard.m_held = true;
    }
    return guard;
}

bool CInstallationGuard::HandDown(std::vector<CKernelHandle>& handles) const {
    handles.clear();
    const HANDLE self = GetCurrentProcess();
    // The namespace too, or the name in it could be made anew in a new namespace once this process
    // and its handle are gone.
    for (const HANDLE held : {m_globalMutex.Get(), m_spaceMutex.Get(), m_namespace.Get()}) {
        if (!held) continue;
        handles.emplace_back();
        // Part of it would keep a name taken without the child knowing that it holds it.
        if (!DuplicateHandle(self, held, self, handles.back().Put(), 0, TRUE,
                             DUPLICATE_SAME_ACCESS)) {
            handles.clear();
            return false;
        }
    }
    return !handles.empty();
}

bool CInstallationGuard::TakeInPrivateNamespace(const std::wstring& productKey) {
    const std::wstring alias = productKey + L".installation";
    // Null where the system has no private namespaces (Wine); nothing else of them may be called
    // then.
    CBoundaryDescriptor boundary(CreateBoundaryDescriptorW(alias.c_str(), 0));
    if (!boundary) return true;
    // Within the boundary: administrators, elevated (a high integrity level) or the system. A
    // standard user cannot make the namespace first, nor open it.
    BYTE administrators[SECURITY_MAX_SID_SIZE], high[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size))
        return true;
    size = sizeof high;
    if (!CreateWellKnownSid(WinHighLabelSid, nullptr, high, &size)) return true;
    // Adding may move the descriptor.
    HANDLE grown = boundary.Detach();
    const bool bounded = AddSIDToBoundaryDescriptor(&grown, administrators) &&
                         AddIntegrityLabelToBoundaryDescriptor(&grown, high);
    boundary.Reset(grown);
    if (!bounded) return true;

    CGuardSecurity security;
    CPrivateNamespace space(CreatePrivateNamespaceW(security.Get(), boundary, alias.c_str()));
    if (!space && GetLastError() == ERROR_ALREADY_EXISTS)
        space.Reset(OpenPrivateNamespaceW(boundary, alias.c_str()));
    if (!space) return true;
    CKernelHandle mutex(CreateMutexW(security.Get(), FALSE, (alias + L"\\guard").c_str()));
    if (!mutex) return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
    m_namespace = std::move(space);
    m_spaceMutex = std::move(mutex);
    return true;
}

bool CInstallationGuard::TakeGlobalName(const std::wstring& productKey) {
    const std::vector<std::wstring> names = InstallationGuardNames(productKey);
    CGuardSecurity security;
    for (size_t i = 0; i < names.size(); ++i) {
        SetLastError(ERROR_SUCCESS);
        CKernelHandle mutex(CreateMutexW(security.Get(), FALSE, names[i].c_str()));
        const DWORD error = GetLastError();
        if (mutex && error != ERROR_ALREADY_EXISTS) {
            // Made here. Another installer may have taken another name meanwhile, one that was
            // squatted while this one passed it; of two such, the one that made its name last
            // sees the other.
            for (size_t j = 0; j < names.size(); ++j)
                if (j != i && ExamineGuardName(names[j]) == GuardName::Held) return false;
            m_globalMutex = std::move(mutex);
            return true;
        }
        if (Classify(mutex, error) == GuardName::Held) return false;
    }
    // Every name is taken by objects no installer made: they must not block the installation,
    // which then runs guarded by the namespace alone, or unguarded.
    return true;
}
