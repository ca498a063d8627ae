#pragma once
// GDI objects owned for one paint or one measurement, device contexts that are given back at the
// end of a scope, and a guard that keeps an object selected into a DC for a scope. A window's DC
// and a selection are lent, not owned: their guards give them back rather than close them.

#include <windows.h>

#include "platform/unique_handle.h"

namespace windowing {

template <class THandle>
struct GdiObjectTraits : platform::NullIsInvalid<THandle> {
    // Stock objects may be held too: the system ignores their deletion.
    static void Close(THandle handle) { ::DeleteObject(handle); }
};

struct MemoryDCTraits : platform::NullIsInvalid<HDC> {
    static void Close(HDC dc) { ::DeleteDC(dc); }
};

}  // namespace windowing

template <class THandle>
using CGdiObject = CUniqueHandle<windowing::GdiObjectTraits<THandle>>;
using CBrush = CGdiObject<HBRUSH>;
using CFont = CGdiObject<HFONT>;
using CBitmap = CGdiObject<HBITMAP>;
using CPen = CGdiObject<HPEN>;

// A memory DC compatible with another DC: CMemoryDC dc(::CreateCompatibleDC(other)).
using CMemoryDC = CUniqueHandle<windowing::MemoryDCTraits>;

// A DC of a window's client area or of the whole window, released to that window at the end of
// its scope.
class CWindowDC {
public:
    enum Area { ClientArea, WholeWindow };

    CWindowDC(HWND hWnd, Area area)
        : m_hWnd(hWnd), m_hDC(area == WholeWindow ? ::GetWindowDC(hWnd) : ::GetDC(hWnd)) {}
    ~CWindowDC() {
        if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
    }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;

    operator HDC() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

// Selects an object into a DC and selects the previous one back at the end of its scope, so the
// object can be deleted afterwards. A null object selects nothing.
class CSelectGuard {
public:
    CSelectGuard(HDC hDC, HGDIOBJ object)
        : m_hDC(hDC), m_previous(object ? ::SelectObject(hDC, object) : nullptr) {}
    ~CSelectGuard() {
        if (m_previous && m_previous != HGDI_ERROR) ::SelectObject(m_hDC, m_previous);
    }
    CSelectGuard(const CSelectGuard&) = delete;
    CSelectGuard& operator=(const CSelectGuard&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_previous;
};
