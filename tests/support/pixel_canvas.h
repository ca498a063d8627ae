#pragma once
// A 32-bit memory canvas that controls paint into and tests read back pixel by pixel.

#include <windows.h>

namespace testing_support {

class CPixelCanvas {
public:
    CPixelCanvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, &info, DIB_RGB_COLORS,
                                      reinterpret_cast<void**>(&m_bits), nullptr, 0);
        m_previous = ::SelectObject(m_dc, m_bitmap);
    }
    ~CPixelCanvas() {
        ::SelectObject(m_dc, m_previous);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    CPixelCanvas(const CPixelCanvas&) = delete;
    CPixelCanvas& operator=(const CPixelCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    bool Valid() const { return m_bits != nullptr; }

    void Fill(COLORREF color) {
        ::GdiFlush();
        for (int i = 0; i < m_width * m_height; ++i) m_bits[i] = ToPixel(color);
    }

    // The colour at (x, y) as a COLORREF; CLR_INVALID outside the canvas.
    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= m_width || y >= m_height) return CLR_INVALID;
        ::GdiFlush();
        const DWORD p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    // How many pixels of the rectangle (clipped to the canvas) have exactly `color`.
    int Count(const RECT& area, COLORREF color) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) n += At(x, y) == color;
        }
        return n;
    }

private:
    static DWORD ToPixel(COLORREF c) {
        return DWORD(GetRValue(c)) << 16 | DWORD(GetGValue(c)) << 8 | GetBValue(c);
    }

    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    DWORD* m_bits = nullptr;
};

// Asks `control`'s parent to have it drawn into `dc` in the given item state, as the system does
// for an owner-drawn button; returns the parent's answer.
inline LRESULT SendDrawItem(HWND control, HDC dc, UINT itemState, UINT ctlType = ODT_BUTTON) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ctlType;
    item.CtlID = UINT(::GetDlgCtrlID(control));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = itemState;
    item.hwndItem = control;
    item.hDC = dc;
    ::GetClientRect(control, &item.rcItem);
    return ::SendMessageW(::GetParent(control), WM_DRAWITEM, item.CtlID,
                          reinterpret_cast<LPARAM>(&item));
}

}  // namespace testing_support
