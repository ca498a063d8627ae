#include "res/product_identity.h"

#include "res/colors.h"
#include "res/strings.h"

namespace {

COLORREF ColorEntry(StringId id) {
    return ParseHexColor(LoadLocalizedString(id));
}

}  // namespace

ProductIdentity ReadProductIdentity() {
    ProductIdentity identity;
    identity.uninstallKey = LoadLocalizedString(IDS_UNINSTALL_KEY);
    identity.defaultFolder = LoadLocalizedString(IDS_DEFAULT_FOLDER);
    identity.shortcutName = LoadLocalizedString(IDS_SHORTCUT_NAME);
    identity.startMenuFolder = LoadLocalizedString(IDS_START_MENU_FOLDER);
    identity.displayName = LoadLocalizedString(IDS_DISPLAY_NAME);
    identity.version = LoadLocalizedString(IDS_DISPLAY_VERSION);
    identity.publisher = LoadLocalizedString(IDS_PUBLISHER);
    identity.processName = LoadLocalizedString(IDS_PROCESS_NAME);
    identity.exeName = LoadLocalizedString(IDS_PRODUCT_EXE);
    identity.licenceUrl = LoadLocalizedString(IDS_LICENCE_URL);
    identity.colors.progress = ColorEntry(IDS_PROGRESS_COLOR);
    identity.colors.button = ColorEntry(IDS_BUTTON_COLOR);
    identity.colors.buttonHover = ColorEntry(IDS_BUTTON_HOVER_COLOR);
    identity.colors.buttonPressed = ColorEntry(IDS_BUTTON_PRESSED_COLOR);
    identity.colors.buttonText = ColorEntry(IDS_BUTTON_TEXT_COLOR);
    identity.colors.titleDone = ColorEntry(IDS_TITLE_DONE_COLOR);
    return identity;
}
