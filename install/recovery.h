#pragma once
// What a run that was killed (ended from outside, power lost) left is finished or undone before
// the next setup.exe or uninstall.exe of the product does anything else, so that the install
// folder holds the old version or the new one, never a mix of both:
//   killed while staging         the staging folder goes (and the folders a fresh run made above
//                                the install folder): the old version stays
//   killed during the final moves  every move done is undone from the plan kept in the staging
//                                folder, then the staging folder goes: the old version
//   killed while deleting the old  the deletion is finished: the new version, complete
// The record names the folders; one this installer could not have written is deleted unused.

#include <string>

// True when nothing of an interrupted installation is left (also when there was none); false when
// something could not be moved back or deleted, and stays on record for the next run.
bool RecoverInterruptedInstallation(const std::wstring& productKey);
