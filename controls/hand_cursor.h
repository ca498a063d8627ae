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

    // Only bit 0 of the hit-test code is tested. HTCLIENT (1) has it, but so do other odd codes
    // (HTSYSMENU, HTMENU, HTVSCROLL and more) that a borderless child control never reports.
    LRESULT OnSetCursor(UINT, WPARAM, LPARAM lParam, BOOL&) {
        const bool hand = (LOWORD(lParam) & 1) != 0;
        ::SetCursor(::LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
        return FALSE;
    }
};
