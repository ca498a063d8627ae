#pragma once
// The record of an installation in progress, kept where only administrators can write
// (HKLM\Software\<product key>\InstallInProgress), so that the next setup.exe or uninstall.exe of
// the product can finish or undo what a killed run left, and trusts nothing a user could have
// planted.

#include <optional>
#include <string>

enum class InstallPhase : unsigned long {
    Staging = 1,     // files go to the staging folder; the installation is untouched
    Committing = 2,  // the plan's moves are under way
    Discarding = 3,  // every move is done; the set-aside old files are being deleted
};

struct InstallRecord {
    std::wstring installFolder;
    std::wstring staging;
    // The highest folder above the install folder that the run made itself; empty when none.
    std::wstring createdFrom;
    bool fresh = false;  // the staging folder becomes the install folder in one move
    InstallPhase phase = InstallPhase::Staging;
};

// False when the product's key name is not one key's name or the key cannot be written. Written
// through to disk: a power loss must not lose it.
bool WriteInstallRecord(const std::wstring& productKey, const InstallRecord& record);
bool SetInstallPhase(const std::wstring& productKey, InstallPhase phase);
std::optional<InstallRecord> ReadInstallRecord(const std::wstring& productKey);
// Deletes the record, and the product's key above it if that then holds nothing.
void DeleteInstallRecord(const std::wstring& productKey);

// Whether the record's folders are ones a run of this installer could have written: absolute, the
// staging folder a folder of the installer's own name beside or inside the install folder, and
// the made folder above the install folder.
bool IsPlausibleRecord(const InstallRecord& record);
