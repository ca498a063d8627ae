#pragma once
// What a user without administrator rights can leave at the name of an installation guard before
// any installer runs: an event of that name ("event"), a mutex nobody else may open ("locked") or
// a mutex anyone may open but the user owns ("users"). Under Wine every program is an
// administrator, so the mutexes name the user as their owner, as a standard user's do on Windows.

#include <windows.h>
#include <sddl.h>

#include <string>

#include "platform/unique_handle.h"

namespace testing_support {

// The object made at `name`; empty when it could not be made or `kind` is none of the above.
inline CKernelHandle MakeGuardSquat(const std::wstring& kind, const std::wstring& name) {
    if (kind == L"event") return CKernelHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    CKernelHandle token;
    alignas(8) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    CLocalMemory<wchar_t*> sid;
    CLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    if ((kind != L"locked" && kind != L"users") ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()) ||
        !GetTokenInformation(token, TokenUser, user, sizeof user, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, sid.Put()) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            (L"O:" + std::wstring(sid.Get()) + (kind == L"locked" ? L"D:P" : L"D:P(A;;GA;;;WD)"))
                .c_str(),
            SDDL_REVISION_1, descriptor.Put(), nullptr))
        return CKernelHandle();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    CKernelHandle mutex(CreateMutexW(&attributes, FALSE, name.c_str()));
    if (GetLastError() == ERROR_ALREADY_EXISTS) mutex.Reset();
    return mutex;
}

}  // namespace testing_support
