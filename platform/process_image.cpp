#include "platform/process_image.h"

std::wstring ProcessImagePath(HANDLE process) {
    std::wstring image(32768, L'\0');
    DWORD length = DWORD(image.size());
    if (!QueryFullProcessImageNameW(process, 0, &image[0], &length)) return std::wstring();
    image.resize(length);
    return image;
}
