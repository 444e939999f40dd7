// SPDX-License-Identifier: Apache-2.0
// Pictures written by the command line's stealth mode open and decode in the
// desktop program like any other, from an empty payload to a full picture.
#include "ShellTestSupport.h"
#include "engine/Encoder.h"
#include "engine/TRandom.h"

#include <QFile>

namespace ostrel::testing {
namespace {

using StealthDecode = ShellWindowTest;

TEST_F(StealthDecode, DesktopDecodeReadsStealthyPictures)
{
    // 96 x 80 pixels hold 960 bytes; "q.bin" and a 19-character stamp take
    // 36 bytes of header and 4 of checksum, so 920 bytes fit.
    const uint64_t key = HashPassword("correct horse");
    for (int size : {1, 500, 920}) {
        SCOPED_TRACE(size);
        for (const QString& name : decodedFiles())
            QFile::remove(decodeFolder() + name);
        const QByteArray payload = randomBytes(size, quint32(size));
        const QString payloadPath = path(QStringLiteral("q.bin"));
        ASSERT_TRUE(writeBytes(payloadPath, payload));

        QImage picture = gradientPicture(96, 80);
        EncodeOptions options;
        options.stealth = true;
        options.dateTimeText = QStringLiteral("2024-01-02 10:11:12");
        ReportList report;
        ASSERT_TRUE(encodePayloadWith(picture, payloadPath, uint32_t(key), uint32_t(key >> 32), options, {}, &report))
            << report.join('\n').toStdString();
        openPicture(picture, QStringLiteral("quiet.bmp"));

        dialogs.passwordAnswers.push_back(QStringLiteral("correct horse"));
        trigger(MenuCommand::Decode);
        const QString text = dialogs.last(QStringLiteral("message"))->text;
        ASSERT_TRUE(text.startsWith(QStringLiteral("Decode Successful"))) << text.toStdString();
        EXPECT_EQ(fileBytes(decodeFolder() + QStringLiteral("q.bin")), payload);
    }
}

} // namespace
} // namespace ostrel::testing
