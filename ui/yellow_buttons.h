#pragma once
// The skin's yellow buttons take their three fills and their text colour from the skin colours.

#include "controls/filled_button.h"
#include "res/colors.h"
#include "res/product_identity.h"

template <class TButton>
void MakeYellow(TButton& button, const SkinColors& colors) {
    button.SetFills(
        {ToArgb(colors.button), ToArgb(colors.buttonHover), ToArgb(colors.buttonPressed)});
    button.SetTextColor(colors.buttonText);
}
