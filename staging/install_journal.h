#pragma once
// The journal of an installation in progress, kept where only administrators can write
// (HKLM\Software\<product key>\InstallInProgress), so that the next setup.exe or uninstall.exe of
// the product can finish or undo what a killed run left, and trusts nothing a user could have
// planted. One product has one journal: a run starts only when there is none.

#include <string>

enum class InstallPhase : unsigned long {
    Staging = 1,     // no move is outstanding: the installation is as it was, and the staging
                     // folder holds only what is to go (also once every move has been undone)
    Committing = 2,  // the plan's moves are under way: only the plan tells whose file is where
    Discarding = 3,  // every move is done; the set-aside old files are being deleted
};

struct InstallJournal {
    std::wstring installFolder;
    std::wstring staging;
    // The highest folder above the install folder that the run made itself; empty when none.
    std::wstring createdFrom;
    bool fresh = false;  // the staging folder becomes the install folder in one move
    InstallPhase phase = InstallPhase::Staging;
};

// Starts the product's journal. False when the product's key name is not one key's name, a journal
// is already there (an interrupted run's, which must be finished first), or the key cannot be
// written. Written through to disk: a power loss must not lose it.
bool StartInstallJournal(const std::wstring& productKey, const InstallJournal& journal);
// False when the phase could not be written through to disk.
bool SetJournalPhase(const std::wstring& productKey, InstallPhase phase);

enum class JournalFound { None, Unreadable, Read };
// What the product's journal says; `journal` is filled in when it is Read. Unreadable: the key is
// there but a value is missing or out of range (a run killed while it started the journal).
JournalFound ReadInstallJournal(const std::wstring& productKey, InstallJournal& journal);
// Deletes the journal, and the product's key above it if that then holds nothing.
void DeleteInstallJournal(const std::wstring& productKey);

// Whether the journal's folders are ones a run of this installer could have written: absolute,
// the staging folder a folder of the installer's own name beside or inside the install folder, and
// the made folder above the install folder.
bool IsPlausibleJournal(const InstallJournal& journal);
