#pragma once
// CTransparentBackground: the reflected WM_CTLCOLORBTN answer of the buttons that paint their
// whole area themselves, so the standard button paints no background of its own. Chained with
// CHAIN_MSG_MAP(CTransparentBackground).

#include <windows.h>

#include "windowing/message_map.h"

class CTransparentBackground {
public:
    BEGIN_MSG_MAP(CTransparentBackground)
        MESSAGE_HANDLER(OCM_CTLCOLORBTN, OnCtlColorButton)
    END_MSG_MAP()

    LRESULT OnCtlColorButton(UINT, WPARAM wParam, LPARAM, BOOL&) {
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
};
