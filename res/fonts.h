#pragma once
// The window's two fonts: a face chosen by the system language and heights in 96-DPI units.

#include <windows.h>

constexpr int kSmallFontUnits = 12;
constexpr int kLargeFontUnits = 20;

// The face follows the system default language, not the UI language of the texts.
const wchar_t* ChooseFontFace(LANGID systemLanguage);

// Negative so that the font is selected by character height rather than cell height.
int FontHeight(int units, UINT dpi);

// Owns one GDI font; deletes it when replaced or destroyed.
class FontHandle {
public:
    FontHandle() = default;
    explicit FontHandle(HFONT font) : m_hFont(font) {}
    FontHandle(FontHandle&& other) noexcept : m_hFont(other.Release()) {}
    FontHandle& operator=(FontHandle&& other) noexcept;
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;
    ~FontHandle();

    HFONT Get() const { return m_hFont; }
    HFONT Release();
    explicit operator bool() const { return m_hFont != nullptr; }

private:
    HFONT m_hFont = nullptr;
};

// A font of `units` character height at `dpi`; empty when the system refuses it.
FontHandle CreateUiFont(const wchar_t* face, int units, UINT dpi);
