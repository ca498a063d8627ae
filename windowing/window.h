#pragma once
// A thin, non-owning wrapper of a window handle with the operations the controls and the main
// window use. It never destroys the window on its own.

#include <windows.h>

#include <string>

class CWindow {
public:
    HWND m_hWnd = nullptr;

    CWindow(HWND hWnd = nullptr) : m_hWnd(hWnd) {}
    operator HWND() const { return m_hWnd; }

    // Plain windows have no standard class to extend; the control wrappers name theirs.
    static LPCWSTR GetWndClassName() { return nullptr; }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }

    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }

    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, msg, wParam, lParam);
    }
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, msg, wParam, lParam);
    }

    BOOL ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    BOOL SetWindowPos(HWND insertAfter, const RECT& rect, UINT flags) {
        return SetWindowPos(insertAfter, rect.left, rect.top, rect.right - rect.left,
                            rect.bottom - rect.top, flags);
    }
    BOOL MoveWindow(const RECT& rect, BOOL repaint = TRUE) {
        return ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left,
                            rect.bottom - rect.top, repaint);
    }
    BOOL GetClientRect(RECT* rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(RECT* rect) const { return ::GetWindowRect(m_hWnd, rect); }
    BOOL ScreenToClient(POINT* point) const { return ::ScreenToClient(m_hWnd, point); }

    // Without a window there is nothing to repaint: a null handle would invalidate every window.
    BOOL Invalidate(BOOL erase = TRUE) { return InvalidateRect(nullptr, erase); }
    BOOL InvalidateRect(const RECT* rect, BOOL erase = TRUE) {
        return m_hWnd && ::InvalidateRect(m_hWnd, rect, erase);
    }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }

    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    std::wstring GetWindowText() const {
        std::wstring text(static_cast<size_t>(GetWindowTextLength()) + 1, L'\0');
        const int copied = ::GetWindowTextW(m_hWnd, &text[0], static_cast<int>(text.size()));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        return text;
    }

    void SetFont(HFONT font, BOOL redraw = TRUE) {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), MAKELPARAM(redraw, 0));
    }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
};
