#pragma once
// The window's two fonts: a face chosen by the system language and heights in 96-DPI units.

#include <windows.h>

#include "windowing/gdi_handles.h"

constexpr int kSmallFontUnits = 12;
constexpr int kLargeFontUnits = 20;

// The face follows the system default language, not the UI language of the texts.
const wchar_t* ChooseFontFace(LANGID systemLanguage);

// Negative so that the font is selected by character height rather than cell height.
int FontHeight(int units, UINT dpi);

// Owns one GDI font, like every other GDI object: deleted when replaced or destroyed.
using FontHandle = CFont;

// A font of `units` character height at `dpi`; empty when the system refuses it.
FontHandle CreateUiFont(const wchar_t* face, int units, UINT dpi);
