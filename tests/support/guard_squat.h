#pragma once
// What a user without administrator rights can leave at the name of an installation guard before
// any installer runs: an event of that name, a mutex nobody else may open, or a mutex anyone may
// open but that the user owns. Under Wine every program is an administrator, so the squatter's
// objects name the user itself as their owner, as a standard user's objects do on Windows.

#include <windows.h>
#include <sddl.h>

#include <string>

#include "platform/unique_handle.h"

namespace testing_support {

enum class GuardSquat { Event, LockedMutex, UsersMutex };

// "event", "locked" or "users"; false for anything else.
inline bool ParseGuardSquat(const std::wstring& text, GuardSquat& kind) {
    if (text == L"event")
        kind = GuardSquat::Event;
    else if (text == L"locked")
        kind = GuardSquat::LockedMutex;
    else if (text == L"users")
        kind = GuardSquat::UsersMutex;
    else
        return false;
    return true;
}

// The process's user as an SDDL SID string; empty when it cannot be read.
inline std::wstring UserSidString() {
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return {};
    alignas(8) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return {};
    CLocalMemory<wchar_t*> text;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, text.Put()))
        return {};
    return text.Get();
}

// The object made at `name`; empty when it could not be made.
inline CKernelHandle MakeGuardSquat(GuardSquat kind, const std::wstring& name) {
    if (kind == GuardSquat::Event)
        return CKernelHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    const std::wstring user = UserSidString();
    if (user.empty()) return CKernelHandle();
    // Locked: a protected, empty access list. The user's: everyone may use it.
    const std::wstring sddl =
        L"O:" + user + (kind == GuardSquat::LockedMutex ? L"D:P" : L"D:P(A;;GA;;;WD)");
    CLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              descriptor.Put(), nullptr))
        return CKernelHandle();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    SetLastError(ERROR_SUCCESS);
    CKernelHandle mutex(CreateMutexW(&attributes, FALSE, name.c_str()));
    if (GetLastError() == ERROR_ALREADY_EXISTS) mutex.Reset();
    return mutex;
}

}  // namespace testing_support
