// SPDX-License-Identifier: Apache-2.0
// What the clipboard holds, in the order the Paste command tests it.
#include "toolkit/ClipboardUnit.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <gtest/gtest.h>

#include <functional>

namespace ostrel {
namespace {

QByteArray pngBytes()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(ClipboardState, FirstMatchingKindWins)
{
    struct Case {
        const char* what;
        std::function<void(QMimeData&)> fill;
        int state;
    };
    const Case cases[] = {
        {"empty", [](QMimeData&) {}, cbNone},
        {"text", [](QMimeData& d) { d.setText(QStringLiteral("hello")); }, cbText},
        {"Qt image", [](QMimeData& d) { d.setImageData(QImage(2, 2, QImage::Format_RGB32)); }, cbBitmap},
        {"encoded PNG only", [](QMimeData& d) { d.setData(QStringLiteral("image/png"), pngBytes()); }, cbBitmap},
        {"text and picture: text wins",
         [](QMimeData& d) {
             d.setText(QStringLiteral("caption"));
             d.setImageData(QImage(2, 2, QImage::Format_RGB32));
         },
         cbText},
        {"vector drawing", [](QMimeData& d) { d.setData(QStringLiteral("image/svg+xml"), "<svg/>"); }, cbPicture},
        {"metafile", [](QMimeData& d) { d.setData(QStringLiteral("image/x-emf"), "EMF"); }, cbPicture},
        {"bitmap before metafile",
         [](QMimeData& d) {
             d.setData(QStringLiteral("image/x-wmf"), "WMF");
             d.setData(QStringLiteral("image/png"), pngBytes());
         },
         cbBitmap},
        {"private format", [](QMimeData& d) { d.setData(QStringLiteral("application/x-ostrel-chart"), "x"); }, cbPrivate},
        {"only HTML", [](QMimeData& d) { d.setHtml(QStringLiteral("<b>x</b>")); }, cbNone},
        {"unknown image type", [](QMimeData& d) { d.setData(QStringLiteral("image/x-unknown-kind"), "??"); }, cbNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QMimeData data;
        c.fill(data);
        EXPECT_EQ(classifyClipboardData(&data), c.state);
    }
    EXPECT_EQ(classifyClipboardData(nullptr), cbNone);
}

TEST(ClipboardState, FollowsTheApplicationClipboard)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setImage(QImage(3, 3, QImage::Format_RGB32));
    EXPECT_EQ(ClassifyClipboard(), cbBitmap);
    clipboard->setText(QStringLiteral("now text"));
    EXPECT_EQ(ClassifyClipboard(), cbText);
    clipboard->clear();
    EXPECT_EQ(ClassifyClipboard(), cbNone);
}

} // namespace
} // namespace ostrel
