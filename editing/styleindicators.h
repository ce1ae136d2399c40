#pragma once

#include "platform/richtextbox.h"

#include <QString>
#include <QtGlobal>

// The lamps above the style toggles and the two font displays of the toolbar.
namespace StyleIndicators {

// Colour integers written to a lamp's fill.
constexpr quint32 OffColor = 0x00F8F1DC; // pale blue: the attribute reads False
constexpr quint32 OnColor = 0x00C0E0FF;  // light orange: True, or mixed

// Compared with False, not with True: a mixed selection lights the lamp.
constexpr quint32 lampColor(TriState value)
{
    return value == TriState::False ? OffColor : OnColor;
}

struct Lamp
{
    const char *shape;
    TriState SelectionAttributes::*attribute;
};

// In the order the refresh writes them.
inline constexpr Lamp Lamps[] = {
    {"Shape6", &SelectionAttributes::bold},
    {"Shape5", &SelectionAttributes::italic},
    {"Shape3", &SelectionAttributes::underline},
    {"Shape4", &SelectionAttributes::strikethru},
};

// A font size in the user's number format: "12", and "10,5" where the decimal
// separator is a comma.
QString sizeCaption(double points);

} // namespace StyleIndicators
