#pragma once
// Deleting at the next restart what cannot be deleted now (held open by another program): Windows
// deletes each item, in the order given, before any program can hold it again. Needs an
// administrator, as the list of pending deletions is the machine's own.

#include <string>
#include <vector>

#include "files/tree_removal.h"

// Schedules each item, a folder after what it holds; a folder goes at the restart only when it is
// empty then. True when every one was scheduled; otherwise `failed` names the first that was not.
bool DeleteAtRestart(const std::vector<ItemLeft>& items, ItemLeft* failed = nullptr);
