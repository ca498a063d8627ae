#pragma once
// CHandCursor: the link-like controls show the hand over their client area, chained with
// CHAIN_MSG_MAP(CHandCursor).

#include <windows.h>

#include "windowing/message_map.h"

class CHandCursor {
public:
    BEGIN_MSG_MAP(CHandCursor)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
    END_MSG_MAP()

    // Bit 0 of the hit-test code is set for HTCLIENT.
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM lParam, BOOL&) {
        const bool client = (LOWORD(lParam) & 1) != 0;
        ::SetCursor(::LoadCursorW(nullptr, client ? IDC_HAND : IDC_ARROW));
        return FALSE;
    }
};
