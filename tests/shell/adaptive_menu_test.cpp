// SPDX-License-Identifier: Apache-2.0
// Steganography > Encode Adaptively: the picture it leaves decodes with the
// desktop's own Decode, and a smooth picture is refused before the password.
#include "ShellTestSupport.h"
#include "shell/ShellTexts.h"

#include <QFile>
#include <random>

namespace ostrel::testing {
namespace {

using AdaptiveMenu = ShellWindowTest;

QImage noisePicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_BGR888);
    std::mt19937 rng(17);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 3; ++i)
            picture.scanLine(y)[i] = uint8_t(rng());
    return picture;
}

TEST_F(AdaptiveMenu, EncodesAdaptivelyAndDecodeReadsIt)
{
    const QByteArray payload = randomBytes(150, 3);
    const QString payloadPath = path(QStringLiteral("plan.bin"));
    ASSERT_TRUE(writeBytes(payloadPath, payload));
    const QImage carrier = noisePicture(90, 70);
    openPicture(carrier, QStringLiteral("noise.bmp"));
    dialogs.calls.clear();

    dialogs.openAnswers.push_back(payloadPath);
    // The empty password is refused and another asked for.
    dialogs.passwordAnswers = {QString(), QStringLiteral("correct horse")};
    trigger(MenuCommand::EncodeAdaptive);
    EXPECT_EQ(dialogs.kinds(), (QStringList{QStringLiteral("open"), QStringLiteral("password"), QStringLiteral("error"),
                                            QStringLiteral("password"), QStringLiteral("message")}));
    const QString encoded = dialogs.last(QStringLiteral("message"))->text;
    ASSERT_TRUE(encoded.startsWith(QStringLiteral("Encoding Successful"))) << encoded.toStdString();
    EXPECT_EQ(dialogs.last(QStringLiteral("message"))->title, kEncodeAdaptiveTitle);
    EXPECT_FALSE(samePixels(window->picture(), carrier));

    dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
    trigger(MenuCommand::Decode);
    const QString decoded = dialogs.last(QStringLiteral("message"))->text;
    ASSERT_TRUE(decoded.startsWith(QStringLiteral("Decode Successful"))) << decoded.toStdString();
    EXPECT_EQ(fileBytes(decodeFolder() + QStringLiteral("plan.bin")), payload);
}

TEST_F(AdaptiveMenu, SmoothPictureIsRefusedBeforeThePassword)
{
    const QString payloadPath = path(QStringLiteral("plan.bin"));
    ASSERT_TRUE(writeBytes(payloadPath, "a few words"));
    QImage flat(90, 70, QImage::Format_BGR888);
    flat.fill(QColor(200, 180, 160));
    openPicture(flat, QStringLiteral("flat.bmp"));
    dialogs.calls.clear();
    dialogs.openAnswers.push_back(payloadPath);
    trigger(MenuCommand::EncodeAdaptive);
    EXPECT_EQ(dialogs.kinds(), (QStringList{QStringLiteral("open"), QStringLiteral("error")}));
    EXPECT_TRUE(dialogs.last(QStringLiteral("error"))->text.contains(QStringLiteral("too little texture")));
    EXPECT_TRUE(samePixels(window->picture(), flat));
}

} // namespace
} // namespace ostrel::testing
