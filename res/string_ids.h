#pragma once
// Ids of the string table: every text, identity value and colour the installer uses.

enum StringId : unsigned {
    IDS_TITLE = 103,
    IDS_INSTALL = 104,
    IDS_AGREE = 105,
    IDS_LICENCE = 106,
    IDS_CUSTOM_INSTALL = 107,
    IDS_LOCATION = 108,
    IDS_UNINSTALL_KEY = 109,
    IDS_BROWSE = 110,
    IDS_INSTALLING = 111,
    IDS_SUCCEEDED_TITLE = 112,
    IDS_SUCCEEDED_TEXT = 113,
    IDS_FINISH = 114,
    IDS_DESKTOP_SHORTCUT = 115,
    IDS_LAUNCH_NOW = 116,
    IDS_FAILED_TITLE = 117,
    IDS_FAILED_TEXT = 118,
    IDS_DEFAULT_FOLDER = 119,
    IDS_CONTACT = 120,
    IDS_SHORTCUT_NAME = 121,
    IDS_START_MENU_FOLDER = 122,
    IDS_DISPLAY_NAME = 123,
    IDS_DISPLAY_VERSION = 124,
    IDS_PUBLISHER = 125,
    IDS_PROCESS_NAME = 126,
    IDS_PRODUCT_EXE = 127,
    IDS_LICENCE_URL = 128,
    IDS_PROGRESS_COLOR = 129,
    IDS_UNUSED_130 = 130,
    IDS_UNUSED_131 = 131,
    IDS_BUTTON_COLOR = 132,
    IDS_BUTTON_HOVER_COLOR = 133,
    IDS_BUTTON_PRESSED_COLOR = 134,
    IDS_BUTTON_TEXT_COLOR = 135,
    IDS_TITLE_DONE_COLOR = 136,
    // Past the table's first blocks, which stay as they are.
    IDS_CLOSE_BUTTON_NAME = 144,  // the close button shows no text; screen readers read this
    IDS_USAGE = 145,              // a command line that is not understood, outside /S
};
