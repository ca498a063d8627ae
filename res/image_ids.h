#pragma once
// Ids of the skin's PNG resources. Banners exist in Chinese and English, the logo in Chinese and
// neutral, everything else neutral only.

enum ImageId : unsigned {
    IDP_CLOSE_NORMAL = 130,
    IDP_UNCHECKED = 132,
    IDP_CHECKED = 133,
    IDP_PROGRESS_BANNER_1 = 135,
    IDP_PROGRESS_BANNER_2 = 136,
    IDP_PROGRESS_BANNER_3 = 137,
    IDP_LOGO = 138,
    IDP_WARNING = 139,
    IDP_WELCOME_BANNER = 140,
    IDP_COLLAPSED = 141,
    IDP_EXPANDED = 142,
    IDP_CONTACT = 147,
    IDP_CLOSE_PRESSED = 149,
    IDP_CLOSE_HOVER = 150,
    IDP_COMMAND_LINE_BANNER = 164,
};
