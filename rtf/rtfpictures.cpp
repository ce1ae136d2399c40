#include "rtf/rtfparser.h"

#include "rtf/rtflimits.h"

#include <QImage>

void RtfParser::finishPicture()
{
    if (m_pictureType == 0 || m_picture.isEmpty())
        return;
    QImage image;
    if (!image.loadFromData(m_picture, m_pictureType == 1 ? "PNG" : "JPEG"))
        return; // what Qt cannot decode leaves no trace
    m_picture.clear();
    if (m_groups.size() < 2)
        return;
    const Group &parent = m_groups[m_groups.size() - 2];
    if (parent.dest != Dest::Normal || parent.chr.hidden)
        return;
    qreal w = m_pictureGoalW > 0 ? m_pictureGoalW * 96.0 / 1440.0 : image.width();
    qreal h = m_pictureGoalH > 0 ? m_pictureGoalH * 96.0 / 1440.0 : image.height();
    w = w * m_pictureScaleX / 100.0;
    h = h * m_pictureScaleY / 100.0;
    flushBytes();
    m_builder.addImage(parent.chr, image, w, h);
}
