#include "files/folder_trust.h"

#include <aclapi.h>
#include <sddl.h>

#include <iterator>
#include <vector>

#include "files/install_folder.h"
#include "files/paths.h"
#include "files/removal.h"
#include "files/same_path.h"
#include "log/run_log.h"
#include "platform/checked_file.h"
#include "platform/unique_handle.h"

namespace {

bool IsTrustedInstaller(PSID sid) {
    // NT SERVICE\TrustedInstaller, a service SID with no well-known constant of its own.
    static constexpr DWORD kRids[] = {
        SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649, 1831038044, 1853292631, 2271478464};
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    const PSID trustedInstaller = buffer;
    if (!InitializeSid(trustedInstaller, &nt, BYTE(std::size(kRids)))) return false;
    for (DWORD i = 0; i < std::size(kRids); ++i)
        *GetSidSubAuthority(trustedInstaller, i) = kRids[i];
    return EqualSid(sid, trustedInstaller);
}

bool IsTrusted(PSID sid, PSID trustedUser) {
    return IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsTrustedInstaller(sid) ||
           (trustedUser && EqualSid(sid, trustedUser));
}

// Names an entry may carry that no token holds on the object itself: they stand for its creator
// or owner, whose own entry or ownership decides.
bool StandsForOwner(PSID sid) {
    return IsWellKnownSid(sid, WinCreatorOwnerSid) || IsWellKnownSid(sid, WinCreatorGroupSid) ||
           IsWellKnownSid(sid, WinCreatorOwnerRightsSid);
}

std::wstring SidText(PSID sid) {
    CLocalMemory<wchar_t*> text;
    if (!ConvertSidToStringSidW(sid, text.Put())) return L"an unreadable principal";
    return text.Get();
}

// The first untrusted principal granted any of `rights` on the object, with what it is granted;
// empty when none is. A missing list grants everyone everything.
std::wstring FindGrant(PSECURITY_DESCRIPTOR descriptor, ACCESS_MASK rights, PSID trustedUser) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return L"its access list cannot be read";
    if (!present || !dacl) return L"it has no access list: everyone may do anything";
    GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                            FILE_ALL_ACCESS};
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, index, reinterpret_cast<void**>(&header))) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE &&
            header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
            continue;
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        // Both kinds begin with the header, the mask and the SID.
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        const PSID sid = PSID(&ace->SidStart);
        if (IsTrusted(sid, trustedUser) || StandsForOwner(sid)) continue;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        const ACCESS_MASK granted = mask & rights;
        if (!granted) continue;
        std::wstring what;
        for (const auto& [right, name] : {std::pair<ACCESS_MASK, const wchar_t*>{DELETE, L"delete"},
                                          {WRITE_DAC, L"change the access list of"},
                                          {WRITE_OWNER, L"take the ownership of"},
                                          {FILE_DELETE_CHILD, L"delete what is in"}})
            if (granted & right) what += (what.empty() ? L"" : L", ") + std::wstring(name);
        return SidText(sid) + L" may " + what + L" it";
    }
    return std::wstring();
}

std::wstring OwnerProblem(PSECURITY_DESCRIPTOR descriptor, PSID trustedUser) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner)
        return L"it has no owner";
    if (IsTrusted(owner, trustedUser)) return std::wstring();
    return L"it is owned by " + SidText(owner);
}

// A token's information of `kind`, empty when it cannot be read.
std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> bytes(size);
    if (size == 0 || !GetTokenInformation(token, kind, bytes.data(), size, &size)) bytes.clear();
    return bytes;
}

bool HoldsAdministratorsEnabled(HANDLE token) {
    const std::vector<BYTE> bytes = TokenInformation(token, TokenGroups);
    if (bytes.empty()) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(bytes.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (IsWellKnownSid(groups->Groups[i].Sid, WinBuiltinAdministratorsSid))
            return (groups->Groups[i].Attributes & SE_GROUP_ENABLED) != 0;
    return false;
}

// The run's own user (a TOKEN_USER), when no process of it runs without administrator rights;
// empty otherwise.
std::vector<BYTE> TrustedOwnUser() {
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put())) return {};
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) return {};
    bool limitedHoldsAdministrators = false;
    TOKEN_LINKED_TOKEN linked{};
    if (type != TokenElevationTypeDefault &&
        GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)) {
        const CKernelHandle limited(linked.LinkedToken);
        limitedHoldsAdministrators = HoldsAdministratorsEnabled(limited);
    }
    if (OwnUserHasStandardSide(type, limitedHoldsAdministrators)) return {};
    return TokenInformation(token, TokenUser);
}

struct OpenedLevel {
    CFileHandle handle;
    DWORD attributes = 0;
    CLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
};

// Opens `path` itself (never what a link there leads to) and reads its owner and access list on
// that handle. False with the last error when it cannot.
bool OpenLevel(const std::wstring& path, OpenedLevel& level) {
    level.handle.Reset(
        CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!level.handle || !GetFileInformationByHandle(level.handle, &info)) return false;
    level.attributes = info.dwFileAttributes;
    const DWORD error = GetSecurityInfo(level.handle, SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, level.descriptor.Put());
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

std::wstring Unreadable(const std::wstring& path) {
    return path + L" cannot be checked: " + SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
}

// Whether `levelFinal`, the real path of the level `path` opened, lies directly in its parent's
// real path under the level's own name, long or short ("PROGRA~1"): a link shows another place.
bool IsLevelOf(const std::wstring& levelFinal, const std::wstring& parentFinal,
               const std::wstring& path) {
    const std::wstring above = ParentFolder(levelFinal);
    if (levelFinal.empty() || above.empty() || !SamePath(above, parentFinal)) return false;
    const std::wstring name = levelFinal.substr(above.size());
    const auto lastOf = [](const std::wstring& text) {
        return text.substr(ParentFolder(text).size());
    };
    if (SamePath(name, lastOf(path))) return true;
    std::wstring longPath(path.size() + MAX_PATH, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), &longPath[0], DWORD(longPath.size()));
    if (length == 0 || length >= longPath.size()) return false;
    longPath.resize(length);
    return SamePath(name, lastOf(longPath));
}

}  // namespace

std::wstring FindChangeableReason(PSECURITY_DESCRIPTOR folder, PSECURITY_DESCRIPTOR parent,
                                  PSID trustedUser) {
    if (std::wstring owner = OwnerProblem(folder, trustedUser); !owner.empty()) return owner;
    if (std::wstring grant = FindGrant(folder, DELETE | WRITE_DAC | WRITE_OWNER, trustedUser);
        !grant.empty())
        return grant;
    if (!parent) return std::wstring();
    std::wstring grant = FindGrant(parent, FILE_DELETE_CHILD, trustedUser);
    return grant.empty() ? grant : L"in the folder above, " + grant;
}

bool OwnUserHasStandardSide(TOKEN_ELEVATION_TYPE type, bool limitedHoldsAdministrators) {
    return type != TokenElevationTypeDefault && !limitedHoldsAdministrators;
}

std::wstring FindChangeableLevel(const std::wstring& folder) {
    const auto normal = NormalInstallFolder(folder);
    if (!normal) return folder + L" is not a whole path";
    const std::vector<BYTE> ownUser = TrustedOwnUser();
    const PSID trustedUser =
        ownUser.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(ownUser.data())->User.Sid;
    const std::wstring root = VolumeRoot(*normal);
    OpenedLevel parent;
    if (!OpenLevel(root, parent)) return Unreadable(root);
    std::wstring parentFinal = FinalPathOf(parent.handle);
    if (parentFinal.empty()) return Unreadable(root);
    for (size_t end = root.size(); end < normal->size();) {
        end = std::min(normal->find(L'\\', end + 1), normal->size());
        const std::wstring path = normal->substr(0, end);
        OpenedLevel level;
        if (!OpenLevel(path, level)) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                return std::wstring();
            return Unreadable(path);
        }
        // Asked of the handle both ways: a system that opens through a link anyway shows it in
        // the final path.
        const std::wstring levelFinal = FinalPathOf(level.handle);
        if ((level.attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
            !IsLevelOf(levelFinal, parentFinal, path))
            return path + L" is a link (a junction, a symbolic link or a mounted folder)";
        // A file in the way fails the installation where it stands; nothing below it exists.
        if (!(level.attributes & FILE_ATTRIBUTE_DIRECTORY)) return std::wstring();
        const std::wstring reason =
            FindChangeableReason(level.descriptor.Get(), parent.descriptor.Get(), trustedUser);
        if (!reason.empty()) return path + L" may be changed by a standard user: " + reason;
        parent = std::move(level);
        parentFinal = levelFinal;
    }
    return std::wstring();
}
