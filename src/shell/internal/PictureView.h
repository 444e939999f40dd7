// SPDX-License-Identifier: Apache-2.0
#pragma once
// The image control: shows the main window's working picture at full size,
// painting only the part that is exposed. It holds a pointer, not a copy, so
// the encoder can change the picture in place without a detach.
#include <QImage>
#include <QWidget>

namespace ostrel {

class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(const QImage* picture, QWidget* parent = nullptr);

    // Takes the picture's size; called after every replacement.
    void fitToPicture();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* m_picture;
};

} // namespace ostrel
