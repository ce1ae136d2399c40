#include "editing/styleindicators.h"

#include <QLocale>

namespace StyleIndicators {

QString sizeCaption(double points)
{
    // 'g' drops a whole size's decimals and keeps a fractional one's; sizes stay far
    // below the thousands, so no group separator appears.
    return QLocale().toString(points, 'g', 6);
}

} // namespace StyleIndicators
