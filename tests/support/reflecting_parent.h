#pragma once
// A top-level window that stands in for the main window: it records WM_COMMAND and reflects
// every other control notification to the control that raised it.

#include <windows.h>

#include <vector>

#include "windowing/window_impl.h"

namespace testing_support {

struct Command {
    WPARAM wParam;
    LPARAM lParam;
};

class CReflectingParent : public CWindowImpl<CReflectingParent, CWindow> {
public:
    std::vector<Command> m_commands;

    BEGIN_MSG_MAP(CReflectingParent)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        m_commands.push_back({wParam, lParam});
        return 0;
    }

    // Visible, so that the controls on it receive pointer input and can be hit-tested.
    HWND CreateVisible(int width = 400, int height = 200) {
        const HWND hWnd =
            Create(nullptr, RECT{0, 0, width, height}, L"", WS_POPUP | WS_CLIPCHILDREN);
        if (hWnd) {
            ::ShowWindow(hWnd, SW_SHOWNOACTIVATE);
            ::UpdateWindow(hWnd);
        }
        return hWnd;
    }
};

}  // namespace testing_support
