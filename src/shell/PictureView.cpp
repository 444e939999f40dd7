// SPDX-License-Identifier: Apache-2.0
#include "PictureView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace ostrel {

PictureView::PictureView(const QImage* picture, QWidget* parent)
    : QWidget(parent)
    , m_picture(picture)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::fitToPicture()
{
    // A picture may be longer than a widget can be; the view then shows its first part.
    setFixedSize(std::min(m_picture->width(), QWIDGETSIZE_MAX), std::min(m_picture->height(), QWIDGETSIZE_MAX));
}

void PictureView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect() & m_picture->rect();
    if (!exposed.isEmpty())
        painter.drawImage(exposed.topLeft(), *m_picture, exposed);
}

} // namespace ostrel
