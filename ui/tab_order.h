#pragma once
// The controls the keyboard reaches on each page, in reading order. Tab moves forward through
// them and Shift+Tab back, both wrapping around; the first one takes the focus when its page
// shows.

#include <optional>
#include <vector>

#include "ui/control_ids.h"

// Empty where nothing can be used: the installing pages, whose close button is inert. The path
// edit and Select Path count only while the custom section is expanded, as only then are they
// inside the window.
std::vector<ControlRole> TabOrder(int page, bool customExpanded);

// The control after `current` (before it when `backward`), wrapping around. From a control that
// is not in the order, or from none, forward gives the first and backward the last; an empty
// order gives nothing.
std::optional<ControlRole> NextTabStop(const std::vector<ControlRole>& order,
                                       std::optional<ControlRole> current, bool backward);
