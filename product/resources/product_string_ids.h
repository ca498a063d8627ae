#pragma once
// Ids of the demo product's own texts; they sit beside the installer's string table (ids 103-144),
// which both programs carry for the product's identity.

enum ProductStringId : unsigned {
    IDS_VERSION_LABEL = 200,
    IDS_FOLDER_LABEL = 201,
    IDS_CLOSE = 202,
    IDS_UNINSTALL_CONFIRM = 210,
    IDS_UNINSTALL_DONE = 211,
    IDS_UNINSTALL_PARTLY = 212,
    IDS_UNINSTALL_REFUSED = 213,
    IDS_UNINSTALL_USAGE = 214,
    IDS_UNINSTALL_NO_LIST = 215,
    IDS_UNINSTALL_NO_KEY = 216,
    IDS_UNINSTALL_BUSY = 217,
    IDS_UNINSTALL_INTERRUPTED = 218,
};
