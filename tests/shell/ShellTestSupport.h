// SPDX-License-Identifier: Apache-2.0
#pragma once
// Pictures, files and a window with scripted dialogs for the main window's tests.
#include "FakeDialogs.h"
#include "data/TempPathUnit.h"
#include "shell/SteganographyUnit.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace ostrel::testing {

// A picture of exactly `colours` distinct colours, none of them one of the 16
// base colours (every base colour has channels in {0, 128, 192, 255}), so the
// count with the base colours is colours + 16.
inline QImage pictureOfColours(int colours, int width, int height)
{
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int i = (y * width + x) % colours;
            picture.setPixelColor(x, y, QColor(1 + i % 125, 1 + (i / 125) % 125, 1 + i / (125 * 125)));
        }
    return picture;
}

// A smooth picture with many colours, like a photograph.
inline QImage gradientPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixelColor(x, y, QColor((x * 255) / width, (y * 255) / height, (x * y * 7) % 256));
    return picture;
}

// `size` bytes of noise, the same for the same seed.
inline QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// True when both pictures have the same size and the same colour everywhere.
inline bool samePixels(const QImage& a, const QImage& b)
{
    return a.size() == b.size()
        && a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

// A main window on scripted dialogs, with its data folders in a fresh
// temporary folder.
class ShellWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(createDataFoldersAt(path(QStringLiteral("DATA/"))));
        window = std::make_unique<TForm_Main_Steganography>(&dialogs);
    }
    void TearDown() override
    {
        window.reset();
        clearDataFolders();
    }

    QString path(const QString& name) const { return m_folder.filePath(name); }

    // Writes `picture` as a 24-bit BMP with Qt's own writer and opens it.
    QString openPicture(const QImage& picture, const QString& name = QStringLiteral("carrier.bmp"))
    {
        const QString fileName = path(name);
        EXPECT_TRUE(picture.save(fileName, "BMP"));
        dialogs.openAnswers.push_back(fileName);
        trigger(MenuCommand::Open);
        return fileName;
    }

    void trigger(MenuCommand command) { window->commandAction(command)->trigger(); }

    QStringList decodedFiles() const { return QDir(decodeFolder()).entryList(QDir::Files); }

    FakeDialogs dialogs;
    std::unique_ptr<TForm_Main_Steganography> window;

private:
    QTemporaryDir m_folder;
};

} // namespace ostrel::testing
