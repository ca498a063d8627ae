#include "res/fonts.h"

#include "res/dpi.h"

const wchar_t* ChooseFontFace(LANGID systemLanguage) {
    return systemLanguage == MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
               ? L"Microsoft YaHei"
               : L"Segoe UI";
}

int FontHeight(int units, UINT dpi) {
    return -UnitsToPixels(units, dpi);
}

FontHandle CreateUiFont(const wchar_t* face, int units, UINT dpi) {
    return FontHandle(CreateFontW(FontHeight(units, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}
