#include "files/restart_deletion.h"

#include <windows.h>

bool DeleteAtRestart(const std::vector<ItemLeft>& items, ItemLeft* failed) {
    for (const ItemLeft& item : items) {
        if (MoveFileExW(item.path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) continue;
        if (failed) *failed = ItemLeft{item.path, GetLastError()};
        return false;
    }
    return true;
}
