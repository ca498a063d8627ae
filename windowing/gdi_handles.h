#pragma once
// GDI objects owned for one paint or one measurement, device contexts that are given back at the
// end of a scope, and a guard that keeps an object selected into a DC for a scope.

#include <windows.h>

#include <utility>

template <class THandle>
class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(THandle handle) : m_handle(handle) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_handle(other.Detach()) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }

    operator THandle() const { return m_handle; }
    THandle Get() const { return m_handle; }
    // Stock objects may be held too: the system ignores their deletion.
    void Reset(THandle handle = nullptr) {
        if (m_handle) ::DeleteObject(m_handle);
        m_handle = handle;
    }
    THandle Detach() { return std::exchange(m_handle, nullptr); }

private:
    THandle m_handle = nullptr;
};

using CBrush = CGdiObject<HBRUSH>;
using CFont = CGdiObject<HFONT>;
using CBitmap = CGdiObject<HBITMAP>;
using CPen = CGdiObject<HPEN>;

// A memory DC compatible with another DC, deleted at the end of its scope.
class CMemoryDC {
public:
    explicit CMemoryDC(HDC compatibleWith) : m_hDC(::CreateCompatibleDC(compatibleWith)) {}
    ~CMemoryDC() {
        if (m_hDC) ::DeleteDC(m_hDC);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    operator HDC() const { return m_hDC; }

private:
    HDC m_hDC;
};

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
