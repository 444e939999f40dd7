// SPDX-License-Identifier: Apache-2.0
// Drives the ostrel-cli program as a user would, through its arguments,
// files and exit status.
#include "colour/AnalysisCharts.h"
#include "colour/Census.h"
#include "data/loopback_server.h"
#include "engine/EngineTestSupport.h"
#include "imageio/GraphicsIOUnit.h"
#include "support/Posix.h"
#include "support/ProcessRun.h"
#include "util/Picture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <algorithm>
#include <cstring>
#include <cmath>
#include <random>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

using ostrel::testing::modeOf;
using ostrel::testing::ProcessOptions;
using ostrel::testing::ProcessRun;

ProcessRun runCli(const QStringList& args, const ProcessOptions& options = {})
{
    return ostrel::testing::runProcess(QStringLiteral(OSTREL_CLI_PATH), args, options);
}

// A run whose data folders are under `dataHome`.
ProcessOptions dataHomeIn(const QString& dataHome)
{
    return {.setEnvironment = {{QStringLiteral("XDG_DATA_HOME"), dataHome}}};
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A noisy true-colour picture (many colours) or one of few colours, saved as 24-bit BMP.
QString makeCarrier(const QTemporaryDir& dir, const QString& name, int width, int height, int colours)
{
    QImage picture(width, height, QImage::Format_RGB888);
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t v = colours > 0 ? uint32_t(random() % colours) * 8 : uint32_t(random());
            picture.setPixel(x, y, qRgb(int((v * 7) & 0xFF), int((v >> 3) & 0xFF), int((v >> 11) & 0xFF)));
        }
    const QString path = dir.filePath(name);
    picture.save(path, "BMP");
    return path;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        passwordFile = dir.filePath(QStringLiteral("password.txt"));
        writeFile(passwordFile, "correct horse\nignored second line\n");
        payload = dir.filePath(QStringLiteral("secret.txt"));
        writeFile(payload, QByteArray("the quick brown fox\x00\xFF", 21));
    }
    QTemporaryDir dir;
    QString passwordFile;
    QString payload;
};

TEST_F(CliTest, EncodeThenDecodeGivesTheFileBack)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ProcessRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.err.toStdString();
    EXPECT_TRUE(encode.out.startsWith(QStringLiteral("Encoding Successful\n\nEncoding: "))) << encode.out.toStdString();

    const QString outDir = dir.filePath(QStringLiteral("out"));
    ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-stdin"}, {.input = "correct horse\n"});
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString() << decode.err.toStdString();
    EXPECT_TRUE(decode.out.startsWith(QStringLiteral("Decode Successful\n\n")));
    EXPECT_TRUE(decode.out.contains(QStringLiteral("Check Sum is OK")));
    EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
}

// PNG as carrier and as result: true colour and paletted files carry the
// payload bit for bit; a PNG whose image data are damaged is refused.
TEST_F(CliTest, PngCarriersAndResultsKeepThePayload)
{
    for (int colours : {0, 20}) {
        SCOPED_TRACE(colours);
        const QString bmp = makeCarrier(dir, QStringLiteral("c%1.bmp").arg(colours), 64, 48, colours);
        const QString carrier = dir.filePath(QStringLiteral("c%1.png").arg(colours));
        ASSERT_TRUE(QImage(bmp).save(carrier, "PNG"));
        const QString hidden = dir.filePath(QStringLiteral("hidden%1.png").arg(colours));
        ProcessRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
        ASSERT_EQ(encode.exitCode, 0) << encode.err.toStdString();
        EXPECT_TRUE(readFile(hidden).startsWith("\x89PNG"));
        const QString outDir = dir.filePath(QStringLiteral("out%1").arg(colours));
        ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile});
        ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString() << decode.err.toStdString();
        EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
    }
    QByteArray damaged = readFile(dir.filePath(QStringLiteral("c0.png")));
    damaged.chop(20); // into the image data and past the end chunk
    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    writeFile(broken, damaged);
    ProcessRun refused = runCli({"encode", broken, payload, "-o", dir.filePath(QStringLiteral("x.png")),
                                 "--password-file", passwordFile});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.startsWith(QStringLiteral("Cannot read ") + broken)) << refused.err.toStdString();
}

TEST_F(CliTest, DecodeWithoutFolderWritesIntoTheDataFolder)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    ProcessRun decode = runCli({"decode", hidden, "--password-file", passwordFile}, dataHomeIn(dataHome));
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    EXPECT_EQ(readFile(dataHome + QStringLiteral("/ostrel/DATA/STEGANOGRAPHY/secret.txt")), readFile(payload));
}

TEST_F(CliTest, WrongPasswordFailsAndWritesNothing)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-stdin"}, {.input = "wrong\n"});
    EXPECT_EQ(decode.exitCode, 1);
    EXPECT_TRUE(decode.out.startsWith(QStringLiteral("Decode Failed\n\n")));
    EXPECT_TRUE(decode.out.contains(QStringLiteral("Image does NOT appear to contain encoded data.")));
    EXPECT_TRUE(QDir(outDir).entryList(QDir::Files).isEmpty());
}

// A sealed picture opens with its password; seal-key gives the format
// password with which any decoder of the format gets the container out, and
// only the container.
TEST_F(CliTest, SealedPicturesOpenWithThePasswordAndSealKeyGivesTheContainer)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("sealed.bmp"));
    ProcessRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--seal", "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.out.toStdString() << encode.err.toStdString();
    EXPECT_TRUE(encode.out.contains(QStringLiteral("\nSealed: 21 Bytes in a container of "))) << encode.out.toStdString();

    const QString opened = dir.filePath(QStringLiteral("opened"));
    ProcessRun decode = runCli({"decode", hidden, "-o", opened, "--password-stdin"}, {.input = "correct horse\n"});
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    EXPECT_EQ(QDir(opened).entryList(QDir::Files), QStringList{QStringLiteral("secret.txt")});
    EXPECT_EQ(readFile(opened + QStringLiteral("/secret.txt")), readFile(payload));

    ProcessRun key = runCli({"seal-key", hidden, "--password-file", passwordFile});
    ASSERT_EQ(key.exitCode, 0) << key.err.toStdString();
    const QString formatPassword = key.out.trimmed();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[01]{64}$")).match(formatPassword).hasMatch()) << key.out.toStdString();

    const QString extracted = dir.filePath(QStringLiteral("extracted"));
    ProcessRun format = runCli({"decode", hidden, "-o", extracted, "--password-stdin"},
                               {.input = formatPassword.toLatin1() + "\n"});
    ASSERT_EQ(format.exitCode, 0) << format.out.toStdString();
    EXPECT_TRUE(format.out.contains(QStringLiteral("Filename: sealed.ostrel\nDate/Time: \n")));
    EXPECT_TRUE(format.out.contains(QStringLiteral("The file is sealed")));
    EXPECT_EQ(QDir(extracted).entryList(QDir::Files), QStringList{QStringLiteral("sealed.ostrel")});
    const QByteArray container = readFile(extracted + QStringLiteral("/sealed.ostrel"));
    EXPECT_TRUE(container.startsWith("OSTRSEAL"));
    EXPECT_FALSE(container.contains("quick brown fox"));

    // A wrong password opens nothing and prints no key.
    const QString nothing = dir.filePath(QStringLiteral("nothing"));
    ProcessRun wrong = runCli({"decode", hidden, "-o", nothing, "--password-stdin"}, {.input = "correct horse!\n"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.out.contains(QStringLiteral("Image does NOT appear to contain encoded data.")));
    EXPECT_TRUE(QDir(nothing).entryList(QDir::Files).isEmpty());
    ProcessRun wrongKey = runCli({"seal-key", hidden, "--password-stdin"}, {.input = "correct horse!\n"});
    EXPECT_EQ(wrongKey.exitCode, 1);
    EXPECT_TRUE(wrongKey.out.isEmpty());
}

// encode --adaptive writes a true-colour BMP or PNG that decode reads without
// being told the mode; what contradicts it is refused before any work, and a
// carrier without texture is refused before the password with what fits.
TEST_F(CliTest, AdaptiveEncodeDecodesWithoutNamingTheModeAndRefusesWhatContradictsIt)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 80, 60, 0);
    for (const char* name : {"adaptive.bmp", "adaptive.png"}) {
        SCOPED_TRACE(name);
        const QString hidden = dir.filePath(QLatin1String(name));
        ProcessRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--adaptive", "--password-file",
                                    passwordFile});
        ASSERT_EQ(encode.exitCode, 0) << encode.out.toStdString() << encode.err.toStdString();
        EXPECT_TRUE(encode.out.contains(QStringLiteral("\nAdaptive: "))) << encode.out.toStdString();
        EXPECT_EQ(QImage(hidden).depth(), 32); // read back as true colour (Qt widens 24-bit)
        const QString opened = dir.filePath(QStringLiteral("opened-") + QLatin1String(name));
        ProcessRun decode = runCli({"decode", hidden, "-o", opened, "--password-stdin"}, {.input = "correct horse\n"});
        ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
        EXPECT_TRUE(decode.out.contains(QStringLiteral("hidden adaptively"))) << decode.out.toStdString();
        EXPECT_EQ(readFile(opened + QStringLiteral("/secret.txt")), readFile(payload));
    }

    struct Case {
        QStringList extra;
        QString out;
        QString says;
    };
    const Case refused[] = {
        {{"--seal"}, "a.bmp", "cannot be combined"},
        {{"--stealth"}, "a.bmp", "cannot be combined"},
        {{"--reduce"}, "a.bmp", "cannot be combined"},
        {{}, "a.gif", "save as .bmp or .png"},
    };
    for (const Case& c : refused) {
        const QString out = dir.filePath(c.out);
        ProcessRun run = runCli(QStringList{"encode", carrier, payload, "-o", out, "--adaptive", "--password-file",
                                            passwordFile}
                                + c.extra);
        EXPECT_EQ(run.exitCode, 2) << c.extra.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    ProcessRun empty = runCli({"encode", carrier, payload, "-o", dir.filePath("a.bmp"), "--adaptive",
                               "--empty-password"});
    EXPECT_EQ(empty.exitCode, 2);

    // A flat grey picture: refused with what fits, and no password is read
    // (standard input stays unread, so a prompt would have failed).
    QImage flat(80, 60, QImage::Format_RGB888);
    flat.fill(QColor(128, 128, 128));
    const QString flatPath = dir.filePath(QStringLiteral("flat.bmp"));
    ASSERT_TRUE(flat.save(flatPath, "BMP"));
    ProcessRun smooth = runCli({"encode", flatPath, payload, "-o", dir.filePath("a.bmp"), "--adaptive",
                                "--password-stdin"});
    EXPECT_EQ(smooth.exitCode, 1);
    EXPECT_TRUE(smooth.err.contains(QStringLiteral("too little texture"))) << smooth.err.toStdString();
    EXPECT_TRUE(smooth.err.contains(QStringLiteral("takes at most 0 Bytes"))) << smooth.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("a.bmp")));
}

TEST_F(CliTest, TooLargePayloadFailsWithoutWritingTheOutput)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("small.bmp"), 16, 16, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ProcessRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
    EXPECT_EQ(encode.exitCode, 1);
    EXPECT_TRUE(encode.err.contains(QStringLiteral("Insufficient Space to Encode File."))) << encode.err.toStdString();
    EXPECT_TRUE(encode.err.contains(QStringLiteral("the picture has 256"))) << encode.err.toStdString();
    EXPECT_FALSE(QFile::exists(hidden));
}

TEST_F(CliTest, ManyColoursCannotBeSavedAsGifButReductionAllowsIt)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("photo.bmp"), 80, 60, 0);
    const QString gif = dir.filePath(QStringLiteral("hidden.gif"));
    ProcessRun refused = runCli({"encode", carrier, payload, "-o", gif, "--password-file", passwordFile});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral(".bmp"))) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(gif));

    // 256 colours of its own, none of them a base colour: 272 with those.
    QImage own256(16, 16, QImage::Format_RGB888);
    for (int i = 0; i < 256; ++i)
        own256.setPixel(i % 16, i / 16, qRgb(i, 1, 2));
    const QString own256Path = dir.filePath(QStringLiteral("own256.bmp"));
    ASSERT_TRUE(own256.save(own256Path, "BMP"));
    ProcessRun explained = runCli({"convert", own256Path, dir.filePath(QStringLiteral("own256.gif"))});
    EXPECT_EQ(explained.exitCode, 1);
    EXPECT_TRUE(explained.err.contains(QStringLiteral("has 256 colours, 272 with the 16 base colours")))
        << explained.err.toStdString();

    for (const char* dither : {"", "--dither"}) {
        QStringList args = {"encode", carrier, payload, "-o", gif, "--reduce", "--password-file", passwordFile};
        if (*dither)
            args << dither;
        ProcessRun reduced = runCli(args);
        ASSERT_EQ(reduced.exitCode, 0) << reduced.err.toStdString();
        EXPECT_TRUE(reduced.out.startsWith(QStringLiteral("Resulting image will contain ")));
        const QString outDir = dir.filePath(QStringLiteral("out") + QLatin1String(dither));
        ProcessRun decode = runCli({"decode", gif, "-o", outDir, "--password-file", passwordFile});
        ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
        EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
    }
}

TEST_F(CliTest, InfoPrintsSizeColoursAndCapacity)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("few.bmp"), 320, 240, 3);
    ProcessRun info = runCli({"info", carrier});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QStringList lines = info.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QString::fromUtf8("320\xC3\x97" "240"));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" Colors")));
    EXPECT_EQ(lines[2], QStringLiteral("Image has space for approximately 9,500 Bytes of hidden data"));
}

// Text is drawn with fonts, which only the graphical application provides;
// a damaged BMP is painted into on the plain one. Both must load.
TEST_F(CliTest, TextFilesAndDamagedPicturesLoadWithTheirOwnApplication)
{
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    writeFile(text, "first line\nsecond line\n");
    ProcessRun textInfo = runCli({"info", text});
    ASSERT_EQ(textInfo.exitCode, 0) << textInfo.err.toStdString();
    const QStringList size = textInfo.out.section(QLatin1Char('\n'), 0, 0).split(QChar(0xD7));
    ASSERT_EQ(size.size(), 2) << textInfo.out.toStdString();
    EXPECT_GT(size[0].toInt(), 50);
    EXPECT_GT(size[1].toInt(), 20);

    // A damaged picture is read, on the plain application, far enough to
    // know it is damaged; it is then refused, not used half-drawn.
    const QString carrier = makeCarrier(dir, QStringLiteral("whole.bmp"), 200, 100, 0);
    const QString damaged = dir.filePath(QStringLiteral("damaged.bmp"));
    writeFile(damaged, readFile(carrier).left(20000));
    ProcessRun damagedInfo = runCli({"info", damaged});
    ASSERT_EQ(damagedInfo.exitCode, 1) << damagedInfo.err.toStdString();
    EXPECT_EQ(damagedInfo.out, QString());
    EXPECT_TRUE(damagedInfo.err.contains(damaged + QStringLiteral(": the file ends before the picture does")))
        << damagedInfo.err.toStdString();
}

TEST_F(CliTest, UsageErrorsAndMissingFiles)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 32, 32, 0);
    struct Case {
        QStringList args;
        int exitCode;
    };
    const Case cases[] = {
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"encode", carrier}, 2},
        {{"encode", carrier, payload, "-o", dir.filePath("out.webp"), "--password-file", passwordFile}, 2},
        {{"convert", carrier, dir.filePath("out.jpg")}, 2},
        {{"info", carrier, "--bogus"}, 2},
        {{"info", dir.filePath("missing.bmp")}, 1},
        {{"decode", dir.filePath("missing.bmp"), "--password-file", passwordFile}, 1},
        {{"decode", carrier, "--password-file", dir.filePath("no-password-file")}, 1},
        {{"chart", carrier}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.webp")}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--kind", "cube"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--dots", "stars"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--size", "0x600"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--size", "800"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--size", "100000x100000"}, 2},
        {{"chart", dir.filePath("missing.bmp"), "-o", dir.filePath("chart.bmp")}, 1},
        {{"chart", "--help"}, 0},
        {{"encode", carrier, payload, "-o", dir.filePath("sealed.bmp"), "--seal", "--reduce", "--password-file",
          passwordFile},
         2},
        {{"seal-key"}, 2},
        {{"seal-key", carrier, carrier}, 2},
        {{"seal-key", dir.filePath("missing.bmp"), "--password-file", passwordFile}, 1},
        {{"seal-key", "--help"}, 0},
        {{"encode", "--help"}, 0},
        {{"--help"}, 0},
        {{"fetch", "http://127.0.0.1:9/", "--timeout", "soon"}, 2},
        {{"fetch", "http://127.0.0.1:9/", "--timeout", "0"}, 2},
    };
    for (const Case& c : cases) {
        ProcessRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.webp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("sealed.bmp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.webp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.bmp")));
}

// The program's argument vector for execv, built before a fork so that the
// child only has to call execv.
class CliArgv {
public:
    explicit CliArgv(const QStringList& args)
    {
        m_bytes.push_back(QByteArrayLiteral(OSTREL_CLI_PATH));
        for (const QString& arg : args)
            m_bytes.push_back(QFile::encodeName(arg));
        for (QByteArray& arg : m_bytes)
            m_pointers.push_back(arg.data());
        m_pointers.push_back(nullptr);
    }
    [[noreturn]] void exec() const
    {
        ::execv(m_pointers[0], m_pointers.data());
        ::_exit(127);
    }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_pointers;
};

// The peak memory (KiB) of one run of the program, which must succeed.
long peakMemoryOfRun(const QStringList& args)
{
    const CliArgv argv(args);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        argv.exec();
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

// A saved picture goes to the disk as it is made: a PNG save holds no copy
// of the whole file, so it needs no more memory than a BMP save of the
// same picture, whose rows are written from where they lie.
TEST_F(CliTest, SavesHoldNoCopyOfTheWholeFile)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("noise.bmp"), 2000, 1500, 0);
    const QString png = dir.filePath(QStringLiteral("noise.png"));
    const long bmpPeak = peakMemoryOfRun({"convert", carrier, dir.filePath(QStringLiteral("copy.bmp"))});
    const long pngPeak = peakMemoryOfRun({"convert", carrier, png});
    ASSERT_GT(bmpPeak, 0);
    ASSERT_GT(pngPeak, 0);
    const long pngKiB = long(QFileInfo(png).size() / 1024);
    ASSERT_GT(pngKiB, 8000) << "noise should not compress";
    EXPECT_LT(pngPeak, bmpPeak + pngKiB / 2) << "BMP save " << bmpPeak << " KiB, PNG save " << pngPeak
                                              << " KiB, PNG file " << pngKiB << " KiB";
}

TEST_F(CliTest, ConvertKeepsEveryPixelOfAFewColourPicture)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("few.bmp"), 33, 17, 5);
    for (const char* name : {"copy.gif", "copy.bmp"}) {
        const QString target = dir.filePath(QLatin1String(name));
        ProcessRun convert = runCli({"convert", carrier, target});
        ASSERT_EQ(convert.exitCode, 0) << convert.err.toStdString();
        QImage before(carrier), after(target);
        ASSERT_FALSE(after.isNull()) << name;
        EXPECT_EQ(before.convertToFormat(QImage::Format_RGB888), after.convertToFormat(QImage::Format_RGB888)) << name;
    }
}

// The chart file holds what the analysis window draws for the same picture
// at that size; without --dots the window's first-analysis rule decides.
TEST_F(CliTest, ChartDrawsWhatTheWindowDraws)
{
    using namespace ostrel;
    const QString few = makeCarrier(dir, QStringLiteral("few.bmp"), 64, 48, 40);
    const QString many = makeCarrier(dir, QStringLiteral("many.bmp"), 400, 300, 0); // over 100 000 colours
    struct Case {
        QString picture;
        QStringList options;
        QString output;
        ChartChoice choice;
        QSize size;
    };
    const Case cases[] = {
        {few, {}, "bright.bmp", {AnalysisChart::Bright, false, DotStyle::Blocks}, {800, 600}},
        {few, {"--kind", "bright"}, "bright.gif", {AnalysisChart::Bright, false, DotStyle::Blocks}, {800, 600}},
        {few, {"--kind", "rgb", "--size", "500x400"}, "cube.bmp", {AnalysisChart::Rgb, false, DotStyle::Blocks}, {500, 400}},
        // The graphical application, which the cube's labels need, must not
        // take --reverse as its own option.
        {few, {"--kind", "rgb", "--reverse", "--dots", "outline"}, "back.bmp",
         {AnalysisChart::Rgb, true, DotStyle::Outline}, {800, 600}},
        {many, {"--kind", "hsv", "--size", "640x480"}, "hexagon.bmp", {AnalysisChart::Hsv, false, DotStyle::Points}, {640, 480}},
        {many, {"--kind", "hsv", "--dots", "blocks", "--reverse"}, "blocks.bmp",
         {AnalysisChart::Hsv, true, DotStyle::Blocks}, {800, 600}},
    };
    for (const Case& c : cases) {
        const QString output = dir.filePath(c.output);
        ProcessRun run = runCli(QStringList{"chart", c.picture, "-o", output} + c.options);
        ASSERT_EQ(run.exitCode, 0) << c.output.toStdString() << " " << run.err.toStdString();

        QImage picture(c.picture);
        ensurePictureFormat(picture);
        TZQXTColorSplayTree tree;
        CountColorsQuiet(picture, &tree);
        QImage expected = allocatePicture(c.size.width(), c.size.height());
        drawAnalysisChart(expected, tree, c.choice);
        QImage written(output);
        ASSERT_FALSE(written.isNull()) << c.output.toStdString();
        EXPECT_EQ(written.convertToFormat(QImage::Format_RGB888), expected.convertToFormat(QImage::Format_RGB888))
            << c.output.toStdString();
    }
}

TEST_F(CliTest, ChartOfManyColoursCannotBeAGif)
{
    const QString many = makeCarrier(dir, QStringLiteral("many.bmp"), 200, 200, 0);
    const QString output = dir.filePath(QStringLiteral("cube.gif"));
    ProcessRun run = runCli({"chart", many, "-o", output, "--kind", "rgb"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("GIF holds at most 256"))) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(output));
}

// Light falling smoothly across the picture with a little noise: its lowest
// bits follow its neighbours as a photograph's do, which hiding data breaks.
QString makePhotoLike(const QTemporaryDir& dir, const QString& name, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double base = 40.0 + 150.0 * x / width + 30.0 * std::sin(y * 0.05);
            auto channel = [&](double offset) { return int(std::clamp(std::lround(base + offset + noise(random)), 0L, 255L)); };
            picture.setPixel(x, y, qRgb(channel(20), channel(10), channel(0)));
        }
    const QString path = dir.filePath(name);
    picture.save(path, "BMP");
    return path;
}

TEST_F(CliTest, CheckTellsCleanFromEncodedPictures)
{
    const QString clean = makePhotoLike(dir, QStringLiteral("clean.bmp"), 300, 200);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", clean, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);

    ProcessRun check = runCli({"check", clean, hidden});
    ASSERT_EQ(check.exitCode, 0) << check.err.toStdString();
    const QStringList reports = check.out.split(QStringLiteral("\n\n"));
    ASSERT_EQ(reports.size(), 2) << check.out.toStdString();
    EXPECT_TRUE(reports[0].startsWith(clean + QString::fromUtf8(": 300\xC3\x97" "200 pixels\n"))) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains(QStringLiteral("\nBlue: no sign of hidden data (0.0"))) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].endsWith(QStringLiteral("\nVerdict: no sign of hidden data"))) << reports[0].toStdString();
    EXPECT_TRUE(reports[1].startsWith(hidden + QLatin1Char(':'))) << reports[1].toStdString();
    EXPECT_TRUE(reports[1].contains(QStringLiteral("\nRed: no sign of hidden data"))) << reports[1].toStdString();
    EXPECT_TRUE(reports[1].contains(QRegularExpression(QStringLiteral("\nBlue: hidden data likely \\((0\\.9\\d|1\\.00)\\)\n"))))
        << reports[1].toStdString();
    EXPECT_TRUE(reports[1].trimmed().endsWith(QStringLiteral("\nVerdict: hidden data likely"))) << reports[1].toStdString();
    // Every pixel carries a replaced bit, so no prefix looks clean.
    EXPECT_FALSE(reports[1].contains(QStringLiteral("falls below"))) << reports[1].toStdString();
}

TEST_F(CliTest, CheckJsonIsOneObjectPerPicture)
{
    const QString clean = makePhotoLike(dir, QStringLiteral("clean.bmp"), 300, 200);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", clean, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);

    ProcessRun check = runCli({"check", "--json", hidden, clean});
    ASSERT_EQ(check.exitCode, 0) << check.err.toStdString();
    const QStringList lines = check.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << check.out.toStdString();
    const QJsonObject encoded = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    const QJsonObject plain = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    EXPECT_EQ(encoded.value("file").toString(), hidden);
    EXPECT_EQ(encoded.value("width").toInt(), 300);
    EXPECT_EQ(encoded.value("verdict").toObject().value("channel").toString(), QStringLiteral("blue"));
    EXPECT_EQ(encoded.value("verdict").toObject().value("verdict").toString(), QStringLiteral("hidden data likely"));
    EXPECT_EQ(plain.value("verdict").toObject().value("verdict").toString(), QStringLiteral("no sign of hidden data"));
    const QJsonArray channels = encoded.value("channels").toArray();
    ASSERT_EQ(channels.size(), 3);
    const QJsonObject blue = channels[2].toObject();
    EXPECT_EQ(blue.value("channel").toString(), QStringLiteral("blue"));
    EXPECT_GT(blue.value("chiSquare").toDouble(), 0.99);
    EXPECT_GT(blue.value("samplePairs").toDouble(), 0.9);
    EXPECT_GT(blue.value("rs").toDouble(), 0.9);
    EXPECT_LT(std::fabs(channels[0].toObject().value("samplePairs").toDouble()), 0.05);
    const QJsonArray prefixes = encoded.value("chiSquarePrefixes").toArray();
    ASSERT_EQ(prefixes.size(), 100);
    EXPECT_EQ(prefixes.last().toObject().value("pixels").toInt(), 300 * 200);
    EXPECT_TRUE(encoded.value("blueChiSquareBelowHalfAfter").isNull());
}

TEST_F(CliTest, CheckExitStatus)
{
    const QString clean = makePhotoLike(dir, QStringLiteral("clean.bmp"), 40, 30);
    const QString notPicture = dir.filePath(QStringLiteral("broken.bmp"));
    writeFile(notPicture, "not a bitmap at all");
    // Drawn with fonts, which only the graphical application provides.
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    writeFile(text, "first line\nsecond line\n");
    struct Case {
        QStringList args;
        int exitCode;
        int reports; // pictures reported on standard output
    };
    const Case cases[] = {
        {{"check", clean}, 0, 1},
        {{"check", "--json", clean, clean}, 0, 2},
        {{"check", "--json", clean, text}, 0, 2},
        // An unreadable picture fails the run, and the others are still checked.
        {{"check", dir.filePath("missing.bmp"), clean}, 1, 1},
        {{"check", notPicture, "--json", clean}, 1, 1},
        {{"check"}, 2, 0},
        {{"check", "--json"}, 2, 0},
        {{"check", clean, "--bogus"}, 2, 0},
        {{"check", "--help"}, 0, 0},
    };
    for (const Case& c : cases) {
        ProcessRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_EQ(int(run.out.count(QStringLiteral("Verdict: ")) + run.out.count(QStringLiteral("\"verdict\":{"))), c.reports)
            << c.args.join(' ').toStdString() << "\n" << run.out.toStdString();
    }
}

// Every way a picture can fail to be read, for every command that takes one:
// exit status 1, the file and the reason named, and nothing written. A
// payload that is not a file is named as what it is.
TEST_F(CliTest, RefusesPicturesThatWereNotReadCompletely)
{
    const QString whole = makeCarrier(dir, QStringLiteral("whole.bmp"), 64, 48, 0);
    const QString damaged = dir.filePath(QStringLiteral("damaged.bmp"));
    writeFile(damaged, readFile(whole).left(3000));
    const QString empty = dir.filePath(QStringLiteral("empty.bmp"));
    writeFile(empty, {});
    const QString foreign = dir.filePath(QStringLiteral("foreign.gif"));
    writeFile(foreign, "this is no picture at all");
    const QString folder = dir.filePath(QStringLiteral("folder.bmp"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString fifo = dir.filePath(QStringLiteral("fifo.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        QString picture;
        const char* reason;
    };
    const Case cases[] = {
        {damaged, "the file ends before the picture does"},
        {empty, "the file is empty"},
        {foreign, "the file is not a picture of its kind"},
        {folder, "it is a folder"},
        {fifo, "it is a named pipe (FIFO)"},
        {dir.filePath(QStringLiteral("missing.bmp")), "no such file"},
    };
    const QString out = dir.filePath(QStringLiteral("out.bmp"));
    const QString outDir = dir.filePath(QStringLiteral("decoded"));
    for (const Case& c : cases) {
        const QList<QStringList> commands = {
            {"encode", c.picture, payload, "-o", out, "--password-file", passwordFile},
            {"decode", c.picture, "-o", outDir, "--password-file", passwordFile},
            {"info", c.picture},
            {"convert", c.picture, out},
        };
        for (const QStringList& command : commands) {
            SCOPED_TRACE(command.join(' ').toStdString());
            const ProcessRun run = runCli(command);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot read %1: %2").arg(c.picture, QLatin1String(c.reason))))
                << run.err.toStdString();
            EXPECT_FALSE(run.out.contains(QStringLiteral("Successful"))) << run.out.toStdString();
            EXPECT_FALSE(QFile::exists(out));
            EXPECT_FALSE(QFile::exists(outDir));
        }
    }
    for (const Case& c : {cases[3], cases[4]}) {
        SCOPED_TRACE(c.reason);
        const ProcessRun run = runCli({"encode", whole, c.picture, "-o", out, "--password-file", passwordFile});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot read %1: %2").arg(c.picture, QLatin1String(c.reason))))
            << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

// Failed writes and folders name the system's reason.
TEST_F(CliTest, FailedWritesSayWhy)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("taken.bmp"))));
    // The folder is made once there is something to write into it.
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    // Every command refuses a protected file and a link alike.
    const QString locked = dir.filePath(QStringLiteral("locked.bmp"));
    writeFile(locked, "kept");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    const QString link = dir.filePath(QStringLiteral("link.bmp"));
    ASSERT_TRUE(QFile::link(locked, link));
    struct Case {
        QStringList args;
        QString message;
    };
    const Case cases[] = {
        {{"convert", carrier, dir.filePath("nowhere/out.bmp")},
         QStringLiteral("Cannot write %1: No such file or directory").arg(dir.filePath("nowhere/out.bmp"))},
        {{"convert", carrier, dir.filePath("taken.bmp")},
         QStringLiteral("Cannot write %1: it is a folder").arg(dir.filePath("taken.bmp"))},
        {{"convert", carrier, payload + "/out.bmp"}, QStringLiteral("Cannot write %1: Not a directory").arg(payload + "/out.bmp")},
        {{"convert", carrier, locked}, QStringLiteral("Cannot write %1: it is write-protected").arg(locked)},
        {{"encode", carrier, payload, "-o", locked, "--password-file", passwordFile},
         QStringLiteral("Cannot write %1: it is write-protected").arg(locked)},
        {{"chart", carrier, "-o", locked}, QStringLiteral("Cannot write %1: it is write-protected").arg(locked)},
        {{"convert", carrier, link}, QStringLiteral("Cannot write %1: it is a symbolic link").arg(link)},
        {{"decode", hidden, "-o", payload + "/sub", "--password-file", passwordFile},
         QStringLiteral("Cannot create folder %1: %2 is not a folder").arg(payload + "/sub", payload)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProcessRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    EXPECT_EQ(readFile(locked), QByteArray("kept"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

// A GIF is refused before any work when the encoded picture may need more
// than 256 colours: 125 colours of its own, each of which may gain a twin
// with the other lowest blue bit, and the 16 base colours make 266.
TEST_F(CliTest, GifThatMayOutgrowItsPaletteIsRefusedBeforeEncoding)
{
    QImage picture(100, 20, QImage::Format_RGB888);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            picture.setPixel(x, y, qRgb(7, 5, 2 * ((x + 100 * y) % 125) + 2));
    const QString carrier = dir.filePath(QStringLiteral("few.bmp"));
    ASSERT_TRUE(picture.save(carrier, "BMP"));
    const QString gif = dir.filePath(QStringLiteral("hidden.gif"));

    const ProcessRun refused = runCli({"encode", carrier, payload, "-o", gif, "--password-file", passwordFile});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("may have 266 colours"))) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--reduce"))) << refused.err.toStdString();
    EXPECT_EQ(refused.out, QString()); // nothing was encoded
    EXPECT_FALSE(QFile::exists(gif));

    const ProcessRun reduced = runCli({"encode", carrier, payload, "-o", gif, "--reduce", "--password-file", passwordFile});
    ASSERT_EQ(reduced.exitCode, 0) << reduced.err.toStdString();
    const QString outDir = dir.filePath(QStringLiteral("out"));
    ASSERT_EQ(runCli({"decode", gif, "-o", outDir, "--password-file", passwordFile}).exitCode, 0);
    EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
}

// Whatever can be known before the password is asked is checked first: an
// output that cannot be written, a payload that does not fit and a carrier
// that cannot be read are named, and the password (here a file that does not
// exist) is never reached.
TEST_F(CliTest, EncodeChecksBeforeAskingForThePassword)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString small = makeCarrier(dir, QStringLiteral("small.bmp"), 16, 16, 0);
    const QString locked = dir.filePath(QStringLiteral("locked.bmp"));
    writeFile(locked, "kept");
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0444), 0);
    const QString noPassword = dir.filePath(QStringLiteral("no-password-file"));
    struct Case {
        QString carrier;
        QString output;
        QStringList extra;
        QString message;
    };
    const Case cases[] = {
        {carrier, dir.filePath("gone/hidden.bmp"), {},
         QStringLiteral("Cannot write %1: No such file or directory").arg(dir.filePath("gone/hidden.bmp"))},
        {carrier, locked, {}, QStringLiteral("Cannot write %1: it is write-protected").arg(locked)},
        {small, dir.filePath("small-out.bmp"), {}, QStringLiteral("Insufficient Space to Encode File.")},
        // A sealed container is larger than its file.
        {makeCarrier(dir, QStringLiteral("tight.bmp"), 24, 24, 0), dir.filePath("tight-out.bmp"), {"--seal"},
         QStringLiteral("Insufficient Space to Encode File.")},
        {dir.filePath("missing.bmp"), dir.filePath("out.bmp"), {},
         QStringLiteral("Cannot read %1").arg(dir.filePath("missing.bmp"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const ProcessRun run =
            runCli(QStringList{"encode", c.carrier, payload, "-o", c.output, "--password-file", noPassword} + c.extra);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(noPassword)) << "the password was asked first:\n" << run.err.toStdString();
        EXPECT_EQ(run.out, QString());
    }
    EXPECT_EQ(readFile(locked), QByteArray("kept"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("small-out.bmp")));
}

// An empty password is used only when asked for by name; contradicting
// options are usage errors.
TEST_F(CliTest, EmptyPasswordOnlyWhenAskedFor)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    const QString emptyFile = dir.filePath(QStringLiteral("empty.txt"));
    writeFile(emptyFile, "");
    const QString blankFirstLine = dir.filePath(QStringLiteral("blank.txt"));
    writeFile(blankFirstLine, "\nsecond line\n");
    struct Case {
        QStringList options;
        QByteArray input;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"--password-file", emptyFile}, {}, 1, "no password given"},
        {{"--password-file", blankFirstLine}, {}, 1, "no password given"},
        {{"--password-stdin"}, {}, 1, "no password given"},
        {{"--password-stdin"}, "\n", 1, "no password given"},
        {{"--password-file", passwordFile, "--password-stdin"}, "x\n", 2, "Give only one of"},
        {{"--empty-password", "--password-stdin"}, "x\n", 2, "Give only one of"},
        {{"--password-file", passwordFile, "--dither"}, {}, 2, "--dither needs --reduce"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const ProcessRun run =
            runCli(QStringList{"encode", carrier, payload, "-o", hidden} + c.options, {.input = c.input});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(hidden));
    }

    // Asked for by name, it works both ways, as for pictures made in the
    // desktop program with an empty password.
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--empty-password"}).exitCode, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--empty-password"});
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
}

// The program on a terminal of its own (a pseudo-terminal), for the prompt.
class TerminalSession {
public:
    explicit TerminalSession(const QStringList& args)
    {
        const CliArgv argv(args);
        m_child = ::forkpty(&m_master, nullptr, nullptr, nullptr);
        if (m_child == 0)
            argv.exec();
    }
    ~TerminalSession()
    {
        if (m_child > 0 && !m_reaped) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        if (m_master >= 0)
            ::close(m_master);
    }
    bool started() const { return m_child > 0 && m_master >= 0; }

    // Reads until `text` has appeared `times` times in all output so far.
    bool waitFor(const QByteArray& text, int times = 1, std::chrono::milliseconds limit = 10s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (m_output.count(text) < times) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            pollfd entry{m_master, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t count = ::read(m_master, buffer, sizeof buffer);
            if (count <= 0)
                return false;
            m_output.append(buffer, count);
        }
        return true;
    }
    void signal(int signalNumber) { ::kill(m_child, signalNumber); }
    void type(const QByteArray& keys) { ASSERT_EQ(::write(m_master, keys.constData(), size_t(keys.size())), keys.size()); }
    bool echoing() const
    {
        termios settings{};
        return ::tcgetattr(m_master, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    // The wait status once the program has ended.
    int finish()
    {
        waitFor("\x01never", 1, 2s); // drains what is left
        int status = 0;
        ::waitpid(m_child, &status, 0);
        m_reaped = true;
        return status;
    }
    const QByteArray& output() const { return m_output; }

private:
    int m_master = -1;
    pid_t m_child = -1;
    bool m_reaped = false;
    QByteArray m_output;
};

// An empty answer at the prompt asks again; Ctrl-C at the prompt ends the
// program and gives the terminal its echo back.
TEST_F(CliTest, PasswordPromptOnATerminal)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    {
        TerminalSession session({"decode", carrier, "-o", outDir});
        ASSERT_TRUE(session.started());
        ASSERT_TRUE(session.waitFor("Password: ")) << session.output().toStdString();
        session.type("\n");
        ASSERT_TRUE(session.waitFor("Password: ", 2)) << session.output().toStdString();
        session.type("pw\n");
        ASSERT_TRUE(session.waitFor("Decode Failed")) << session.output().toStdString();
        EXPECT_TRUE(session.output().contains("--empty-password")) << session.output().toStdString();
        const int status = session.finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    }
    {
        TerminalSession session({"decode", carrier, "-o", outDir});
        ASSERT_TRUE(session.started());
        ASSERT_TRUE(session.waitFor("Password: ")) << session.output().toStdString();
        EXPECT_FALSE(session.echoing());
        session.type("\x03"); // Ctrl-C
        const int status = session.finish();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        EXPECT_TRUE(session.echoing());
    }
}

// Progress is drawn only for work that takes more than a second, and only on
// a terminal: a short encode leaves nothing of it on the terminal, and with
// standard error a pipe nothing is written for it at all.
TEST_F(CliTest, ShortWorkDrawsNoProgress)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    {
        TerminalSession session({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
        ASSERT_TRUE(session.started());
        const int status = session.finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << session.output().toStdString();
        EXPECT_TRUE(session.output().contains("Successful")) << session.output().toStdString();
        EXPECT_FALSE(session.output().contains("\rEncoding")) << session.output().toStdString();
        EXPECT_FALSE(session.output().contains("\033[K")) << session.output().toStdString();
    }
    const ProcessRun piped = runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
    ASSERT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.err, QString());
}


// holding names no encoder would store: each decode writes one file in the
// chosen folder, under the name it reports, and prints the stored name so
// that it cannot be misread.
TEST_F(CliTest, HostileStoredNamesAreSavedInTheFolderAndPrintedEscaped)
{
    struct Case {
        bool sealed;
        QByteArray stored;
        QString written, shown;
    };
    const Case cases[] = {
        {false, "x\\x1b\x1b", QStringLiteral("x1b_"), QStringLiteral("x\\\\x1b\\x1b")},
        {false, "../report\xE2\x80\xAEtxt.exe", QStringLiteral("report_txt.exe"),
         QStringLiteral("../report\\u202etxt.exe")},
        {true, QByteArray("evil\0.txt", 9), QStringLiteral("evil_.txt"), QStringLiteral("evil\\x00.txt")},
        {true, "\r\nDecode Successful\xE2\x81\xA7", QStringLiteral("__Decode Successful_"),
         QStringLiteral("\\r\\nDecode Successful\\u2067")},
        {true, "..", QStringLiteral("unnamed"), QStringLiteral("..")},
    };
    const QByteArray password = "correct horse";
    const QByteArray hiddenBytes = "hidden bytes";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written.toStdString());
        const QString outDir = dir.filePath(QStringLiteral("out-") + QString::number(&c - cases));
        ASSERT_TRUE(QDir().mkpath(outDir));
        writeFile(outDir + QStringLiteral("/evil"), "keep me");
        QImage picture = ostrel::test::randomPicture(80, 60, 31);
        if (c.sealed) {
            ASSERT_TRUE(ostrel::test::embedSealedByBits(picture, password, {c.stored, "now", hiddenBytes}));
        } else {
            ostrel::test::embedByBits(picture, ostrel::HashPassword(password),
                                      ostrel::test::streamFor(c.stored, "now", hiddenBytes));
        }
        const QString hidden = dir.filePath(QStringLiteral("hostile.bmp"));
        ASSERT_TRUE(picture.save(hidden, "BMP"));

        const ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile});
        ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString() << decode.err.toStdString();
        EXPECT_TRUE(decode.out.contains(QStringLiteral("\nFilename: ") + c.shown + QLatin1Char('\n')))
            << decode.out.toStdString();
        const QString saved = outDir + QLatin1Char('/') + c.written;
        EXPECT_TRUE(decode.out.contains(QStringLiteral("\nSaving To: ") + saved + QLatin1Char('\n')));
        EXPECT_EQ(readFile(saved), hiddenBytes);
        EXPECT_EQ(readFile(outDir + QStringLiteral("/evil")), QByteArray("keep me"));
        EXPECT_EQ(QDir(outDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
        for (const QChar hiddenControl : {QChar(0x1b), QChar(0x202E), QChar(0x2067), QChar(u'\r')})
            EXPECT_FALSE(decode.out.contains(hiddenControl));
    }
}

// Names, dates and headers from files, pictures and servers are printed with
// their control characters as escapes; a decoded file gets a name without them.
TEST_F(CliTest, ControlCharactersArePrintedAsEscapes)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 96, 64, 0);
    const QString evilName = QStringLiteral("a\x1b]0;owned\x07\r\nDecode Successful.txt");
    const QString evil = dir.filePath(evilName);
    writeFile(evil, "payload");
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    const ProcessRun encode = runCli({"encode", carrier, evil, "-o", hidden, "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.err.toStdString();
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile});
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    const QString shown = QStringLiteral("a\\x1b]0;owned\\x07\\r\\nDecode Successful.txt");
    for (const ProcessRun* run : {&encode, &decode}) {
        EXPECT_TRUE(run->out.contains(shown)) << run->out.toStdString();
        EXPECT_FALSE(run->out.contains(QChar(0x1b)));
        EXPECT_FALSE(run->out.contains(QChar(u'\r')));
    }
    EXPECT_TRUE(decode.out.contains(QStringLiteral("Filename: ") + shown + QLatin1Char('\n')));
    // The file's own name has each of those characters made '_'.
    EXPECT_EQ(readFile(outDir + QStringLiteral("/a_]0;owned___Decode Successful.txt")), QByteArray("payload"));

    ostrel::testing::LoopbackServer server(ostrel::testing::answer(
        "HTTP/1.0 200 OK\r\nX-Title: \x1b]0;owned\x07\rFake: line\r\nContent-Type: image/gif\r\n\r\nGIF"));
    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    const ProcessRun fetch = runCli({"fetch", server.url(QStringLiteral("/a.gif"))}, dataHomeIn(dataHome));
    ASSERT_EQ(fetch.exitCode, 0) << fetch.err.toStdString();
    EXPECT_TRUE(fetch.out.contains(QStringLiteral("X-Title: \\x1b]0;owned\\x07\\rFake: line\n"))) << fetch.out.toStdString();
    EXPECT_TRUE(fetch.out.contains(QStringLiteral("\nContent-Type: image/gif\n"))) << fetch.out.toStdString();
    EXPECT_FALSE(fetch.out.contains(QChar(0x1b)));
    EXPECT_FALSE(fetch.out.contains(QChar(u'\r')));

    // The print command names its file and its PDF the same way.
    const ProcessRun print = runCli({"print", evil, "-o", evil + QStringLiteral(".pdf")});
    ASSERT_EQ(print.exitCode, 0) << print.err.toStdString();
    const QString printed = print.out + print.err;
    EXPECT_TRUE(printed.contains(shown + QStringLiteral(".pdf"))) << printed.toStdString();
    EXPECT_FALSE(printed.contains(QChar(0x1b)));
    EXPECT_FALSE(printed.contains(QChar(u'\r')));
}

// A name whose bytes are not valid UTF-8 is refused, never replaced by
// another name. The shell makes the bytes, which a QString cannot carry.
TEST_F(CliTest, NamesThatAreNotUtf8AreRefused)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 32, 32, 0);
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const QString script = QStringLiteral("cd \"$1\" && exec \"$2\" \"$3\" carrier.bmp \"$(printf '%s\\377%s' \"$4\" \"$5\")\" "
                                          "--password-file password.txt");
    struct Case {
        const char* command;
        const char* name;
        const char* rest;
    };
    for (const Case& c : {Case{"convert", "out", ".bmp"}, Case{"info", "pic", ".bmp"}}) {
        SCOPED_TRACE(c.command);
        const ProcessRun run = ostrel::testing::runProcess(
            QStringLiteral("/bin/sh"), {"-c", script, "sh", dir.path(), QStringLiteral(OSTREL_CLI_PATH),
                                        QLatin1String(c.command), QLatin1String(c.name), QLatin1String(c.rest)});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QStringLiteral("\\xff") + QLatin1String(c.rest) + QStringLiteral(": it is not valid UTF-8")))
            << run.err.toStdString();
    }
    const QString decodeScript = QStringLiteral("cd \"$1\" && exec \"$2\" decode carrier.bmp -o \"$(printf 'dir\\377')\" "
                                                "--password-file password.txt");
    const ProcessRun decode = ostrel::testing::runProcess(
        QStringLiteral("/bin/sh"), {"-c", decodeScript, "sh", dir.path(), QStringLiteral(OSTREL_CLI_PATH)});
    EXPECT_EQ(decode.exitCode, 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

// True when process `pid` has the file `target` (a canonical path) open.
bool hasOpen(qint64 pid, const QByteArray& target)
{
    const QString folder = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char link[4096];
        const ssize_t size = ::readlink(QFile::encodeName(folder + QLatin1Char('/') + fd).constData(), link, sizeof link);
        if (size > 0 && QByteArray(link, size) == target)
            return true;
    }
    return false;
}

// A picture that another program cuts short while it is read makes the
// program fail cleanly or finish, never die of a bus error.
TEST_F(CliTest, PictureShortenedWhileReadIsNoCrash)
{
    const QString whole = makeCarrier(dir, QStringLiteral("whole.bmp"), 2400, 1800, 0);
    const QByteArray bytes = readFile(whole);
    const QString victim = dir.filePath(QStringLiteral("victim.bmp"));
    const QByteArray victimPath = QFile::encodeName(QFileInfo(whole).canonicalPath() + QStringLiteral("/victim.bmp"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        writeFile(victim, bytes);
        QProcess process;
        process.start(QStringLiteral(OSTREL_CLI_PATH), {"info", victim});
        ASSERT_TRUE(process.waitForStarted());
        // Cut the file as soon as the program has it open.
        const auto end = std::chrono::steady_clock::now() + 10s;
        bool cut = false;
        bool finished = false;
        while (!cut && !(finished = process.waitForFinished(0)) && std::chrono::steady_clock::now() < end) {
            if (hasOpen(process.processId(), victimPath)) {
                ASSERT_EQ(::truncate(QFile::encodeName(victim).constData(), 100), 0);
                cut = true;
            }
        }
        if (!finished) {
            ASSERT_TRUE(process.waitForFinished(60000));
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "signal " << process.exitCode();
        EXPECT_TRUE(process.exitCode() == 0 || process.exitCode() == 1) << process.exitCode();
    }
}

// Decoded files are their owner's alone, in the data folder or elsewhere,
// and the data folders are closed to other users.
TEST_F(CliTest, DecodedFilesArePrivate)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    ASSERT_EQ(runCli({"decode", hidden, "--password-file", passwordFile}, dataHomeIn(dataHome)).exitCode, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    ASSERT_EQ(runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile}).exitCode, 0);
    const QString decodeFolder = dataHome + QStringLiteral("/ostrel/DATA/STEGANOGRAPHY");
    EXPECT_EQ(modeOf(decodeFolder), 0700u);
    EXPECT_EQ(modeOf(dataHome + QStringLiteral("/ostrel/DATA")), 0700u);
    EXPECT_EQ(modeOf(decodeFolder + QStringLiteral("/secret.txt")), 0600u);
    EXPECT_EQ(modeOf(outDir + QStringLiteral("/secret.txt")), 0600u);
}

// The whole fetch has a deadline of its own; the store step names its reason.
TEST_F(CliTest, FetchEndsAtItsDeadlineAndStoresNothing)
{
    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    const QString web = dataHome + QStringLiteral("/ostrel/DATA/WEB/");
    ostrel::testing::LoopbackServer slow(ostrel::testing::trickleOneByteAtATime(200ms));
    const auto started = std::chrono::steady_clock::now();
    const ProcessRun late =
        runCli({"fetch", slow.url(QStringLiteral("/slow.gif")), "--timeout", "1"}, dataHomeIn(dataHome));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_TRUE(late.err.contains(QStringLiteral("Cannot fetch %1: Fetch Took Longer Than Its Time Limit.")
                                      .arg(slow.url(QStringLiteral("/slow.gif")))))
        << late.err.toStdString();
    EXPECT_EQ(QDir(web).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    ASSERT_TRUE(QDir().mkpath(web + QStringLiteral("busy.gif")));
    ostrel::testing::LoopbackServer server(ostrel::testing::answer("HTTP/1.0 200 OK\r\n\r\nGIF"));
    const ProcessRun blocked = runCli({"fetch", server.url(QStringLiteral("/busy.gif"))}, dataHomeIn(dataHome));
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_TRUE(blocked.err.contains(QStringLiteral("Cannot write %1busy.gif: it is a folder").arg(web)))
        << blocked.err.toStdString();
}

// A carrier of few colours would be saved with a palette by a normal encode;
// the stealthy one stays a 24-bit file, and the usual decode reads it.
TEST_F(CliTest, StealthEncodeDecodesAsUsualAndRefusesPaletteResults)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("few.bmp"), 64, 48, 20);
    const QString hidden = dir.filePath(QStringLiteral("quiet.bmp"));
    ProcessRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--stealth", "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.out.toStdString() << encode.err.toStdString();
    EXPECT_TRUE(encode.out.contains(QStringLiteral("Stealth Mode: "))) << encode.out.toStdString();
    const QByteArray file = readFile(hidden);
    ASSERT_GT(file.size(), 30);
    EXPECT_EQ(uint8_t(file[28]), 24) << "bits per pixel";

    const QString outDir = dir.filePath(QStringLiteral("out"));
    ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile});
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));

    struct Refusal {
        QStringList extra;
        QString output;
        QString message;
    };
    const Refusal refusals[] = {
        {{"--stealth", "--reduce"}, QStringLiteral("r.bmp"), QStringLiteral("cannot be used with --reduce")},
        {{"--reduce", "--dither", "--stealth"}, QStringLiteral("d.bmp"), QStringLiteral("cannot be used with --reduce")},
        {{"--stealth"}, QStringLiteral("g.gif"), QStringLiteral("GIF files hold a palette")},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.output.toStdString());
        const QString out = dir.filePath(r.output);
        ProcessRun refused = runCli(QStringList{"encode", carrier, payload, "-o", out, "--password-file", passwordFile}
                                + r.extra);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.err.contains(r.message)) << refused.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

} // namespace

namespace {

// Password files and standard input: bytes that are not UTF-8 all count, a
// first line without end is refused at once, and a seal needs a password.
TEST_F(CliTest, PasswordBytesAllCountAndReadingIsBounded)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    const QString keyFile = dir.filePath(QStringLiteral("key.bin"));
    writeFile(keyFile, QByteArray::fromHex("8081828384858687"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", keyFile}).exitCode, 0);

    // Bytes once read as the same eight replacement characters.
    const QString otherKey = dir.filePath(QStringLiteral("other.bin"));
    writeFile(otherKey, QByteArray::fromHex("FFFEFDFCFBFAF9F8"));
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const ProcessRun wrong = runCli({"decode", hidden, "-o", outDir, "--password-file", otherKey});
    EXPECT_EQ(wrong.exitCode, 1) << wrong.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(outDir)); // a wrong password leaves no folder behind
    const ProcessRun right =
        runCli({"decode", hidden, "-o", outDir, "--password-stdin"}, {.input = QByteArray::fromHex("80818283848586870A")});
    ASSERT_EQ(right.exitCode, 0) << right.out.toStdString() << right.err.toStdString();
    EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));

    struct Case {
        QStringList options;
        QByteArray input;
        int exitCode;
        const char* message;
    };
    const QString longLine = dir.filePath(QStringLiteral("long.txt"));
    writeFile(longLine, QByteArray(4097, 'a') + "\n");
    const QString longest = dir.filePath(QStringLiteral("longest.txt"));
    writeFile(longest, QByteArray(4096, 'a') + "\n");
    const Case cases[] = {
        {{"--password-file", "/dev/zero"}, {}, 1, "password longer than 4096 bytes"},
        {{"--password-file", longLine}, {}, 1, "password longer than 4096 bytes"},
        {{"--password-stdin"}, QByteArray(100000, 'x'), 1, "password longer than 4096 bytes"},
        {{"--password-file", longest, "--seal"}, {}, 0, ""},
        {{"--empty-password", "--seal"}, {}, 2, "--seal needs a password"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        QFile::remove(hidden);
        const ProcessRun run =
            runCli(QStringList{"encode", carrier, payload, "-o", hidden} + c.options, {.input = c.input});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.message))) << run.err.toStdString();
        EXPECT_EQ(QFile::exists(hidden), c.exitCode == 0);
    }
}

// An empty file could never be read back; sealed, it can.
TEST_F(CliTest, EmptyPayloadIsRefusedUnlessSealed)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    const QString empty = dir.filePath(QStringLiteral("empty.dat"));
    writeFile(empty, "");
    const ProcessRun plain = runCli({"encode", carrier, empty, "-o", hidden, "--password-file", passwordFile});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_TRUE(plain.err.contains(QStringLiteral("nothing to hide: %1 is empty").arg(empty))) << plain.err.toStdString();
    EXPECT_FALSE(QFile::exists(hidden));

    ASSERT_EQ(runCli({"encode", carrier, empty, "-o", hidden, "--seal", "--password-file", passwordFile}).exitCode, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    const ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile});
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    EXPECT_TRUE(QFileInfo(outDir + QStringLiteral("/empty.dat")).isFile());
    EXPECT_EQ(QFileInfo(outDir + QStringLiteral("/empty.dat")).size(), 0);
}

// Any signal that ends the program at the prompt gives the terminal its echo
// back first.
TEST_F(CliTest, EveryEndingSignalAtThePromptRestoresEcho)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    for (int signalNumber : {SIGUSR1, SIGALRM, SIGTERM, SIGPIPE}) {
        SCOPED_TRACE(signalNumber);
        TerminalSession session({"decode", carrier, "-o", dir.filePath(QStringLiteral("out"))});
        ASSERT_TRUE(session.started());
        ASSERT_TRUE(session.waitFor("Password: ")) << session.output().toStdString();
        EXPECT_FALSE(session.echoing());
        session.signal(signalNumber);
        const int status = session.finish();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_TRUE(session.echoing());
    }
}

// What the README promises of sealed pictures: few colours may go into a GIF,
// a refusal for many colours does not point at --reduce (which --seal
// refuses), and any change to a red or green value reads like a wrong
// password.
TEST_F(CliTest, SealedPicturesInGifsAndAfterChanges)
{
    const QString few = makeCarrier(dir, QStringLiteral("few.bmp"), 64, 48, 4);
    const QString gif = dir.filePath(QStringLiteral("sealed.gif"));
    ASSERT_EQ(runCli({"encode", few, payload, "-o", gif, "--seal", "--password-file", passwordFile}).exitCode, 0);
    const ProcessRun opened = runCli({"decode", gif, "-o", dir.filePath("fromgif"), "--password-file", passwordFile});
    EXPECT_EQ(opened.exitCode, 0) << opened.out.toStdString();
    EXPECT_EQ(readFile(dir.filePath("fromgif/secret.txt")), readFile(payload));

    const QString many = makeCarrier(dir, QStringLiteral("many.bmp"), 64, 48, 0);
    const ProcessRun refused =
        runCli({"encode", many, payload, "-o", dir.filePath("many.gif"), "--seal", "--password-file", passwordFile});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QLatin1String("GIF holds at most 256"))) << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains(QLatin1String("--reduce"))) << refused.err.toStdString();

    const QString sealed = dir.filePath(QStringLiteral("sealed.bmp"));
    ASSERT_EQ(runCli({"encode", many, payload, "-o", sealed, "--seal", "--password-file", passwordFile}).exitCode, 0);
    const ProcessRun wrong = runCli({"decode", sealed, "-o", dir.filePath("wrong"), "--password-stdin"},
                                    {.input = "not the password\n"});
    QImage changed(sealed);
    ASSERT_FALSE(changed.isNull());
    changed = changed.convertToFormat(QImage::Format_RGB888);
    changed.setPixel(40, 30, changed.pixel(40, 30) ^ 0x010000); // one red value, far from the stream
    const QString edited = dir.filePath(QStringLiteral("edited.bmp"));
    ASSERT_TRUE(changed.save(edited, "BMP"));
    const ProcessRun afterEdit =
        runCli({"decode", edited, "-o", dir.filePath("edited"), "--password-file", passwordFile});
    EXPECT_EQ(afterEdit.exitCode, 1);
    EXPECT_EQ(afterEdit.exitCode, wrong.exitCode);
    // The same words, but for the picture's name.
    EXPECT_EQ(QString(afterEdit.err).replace(edited, QLatin1String("PICTURE")),
              QString(wrong.err).replace(sealed, QLatin1String("PICTURE")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("edited"))) << "nothing is written for a changed picture";
}

// A fetch that lost data fails and stores nothing; an error page is stored
// and the status line is said on standard error.
TEST_F(CliTest, FetchSaysWhatTheServerAnswered)
{
    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    ostrel::testing::LoopbackServer cut(
        ostrel::testing::answer("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nGIF89a"));
    const ProcessRun lost = runCli({"fetch", cut.url(QStringLiteral("/cut.gif"))}, dataHomeIn(dataHome));
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_TRUE(lost.err.contains(QLatin1String("Connection Closed Before The Whole Body Arrived (6 of 1000")))
        << lost.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dataHome + QStringLiteral("/ostrel/DATA/WEB/cut.gif")));

    ostrel::testing::LoopbackServer missing(
        ostrel::testing::answer("HTTP/1.0 404 Not Found\r\nContent-Type: image/gif\r\n\r\nnot here"));
    const ProcessRun page = runCli({"fetch", missing.url(QStringLiteral("/gone.gif"))}, dataHomeIn(dataHome));
    EXPECT_EQ(page.exitCode, 0);
    EXPECT_TRUE(page.err.contains(QLatin1String("Warning: The server answered \"HTTP/1.0 404 Not Found\"")))
        << page.err.toStdString();
}

// Options are read the GNU way, and what the program does not know is named.
TEST_F(CliTest, OptionsAreReadTheGnuWay)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString dashed = dir.filePath(QStringLiteral("-dashed.bmp"));
    ASSERT_TRUE(QFile::copy(carrier, dashed));
    struct Case {
        QStringList args;
        QString output; // the file the run must have written
    };
    const Case written[] = {
        {{"encode", carrier, payload, "--output=" + dir.filePath("a.bmp"), "--password-file=" + passwordFile},
         dir.filePath("a.bmp")},
        {{"encode", carrier, payload, "-o" + dir.filePath("b.bmp"), "--password-file", passwordFile},
         dir.filePath("b.bmp")},
        {{"convert", "--", dashed, dir.filePath("c.bmp")}, dir.filePath("c.bmp")},
        {{"chart", carrier, "--output=" + dir.filePath("d.bmp"), "--kind=hsv", "--size=40x30"}, dir.filePath("d.bmp")},
    };
    for (const Case& c : written) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProcessRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(QFileInfo::exists(c.output));
    }
    EXPECT_EQ(QImage(dir.filePath("d.bmp")).size(), QSize(40, 30));

    const ProcessRun version = runCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^ostrel-cli \\d+\\.\\d+(\\.\\d+)?\n$")).match(version.out).hasMatch())
        << version.out.toStdString();

    struct Refused {
        QStringList args;
        QString message;
    };
    const Refused refused[] = {
        {{"frobnicate"}, QStringLiteral("Unknown command 'frobnicate'.")},
        {{"--frobnicate"}, QStringLiteral("Unknown option '--frobnicate'.")},
        {{"info", carrier, "--frob"}, QStringLiteral("Unknown option '--frob'.")},
        {{"info", "--", "--frob"}, QStringLiteral("Cannot open --frob")}, // an operand after --
        {{"encode", carrier, payload, "-o", dir.filePath("e.bmp"), "--reduce=yes"},
         QStringLiteral("--reduce takes no value.")},
        {{"encode", carrier, payload, "--output"}, QStringLiteral("--output needs a value.")},
        {{"print", carrier, "--copies=none"}, QStringLiteral("--copies takes a whole number")},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ProcessRun run = runCli(c.args);
        EXPECT_NE(run.exitCode, 0);
        const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines.first().startsWith(c.message)) << run.err.toStdString();
        if (run.exitCode == 2) {
            EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Usage: ostrel-cli"))) << run.err.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("e.bmp")));
}

// The report stays on standard output; a failure and its cause are said on
// standard error, in words that tell one cause from another.
TEST_F(CliTest, FailuresAreSaidOnStandardErrorWithTheirCause)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const ProcessRun wrong = runCli({"decode", hidden, "-o", dir.filePath("out"), "--password-stdin"},
                                    {.input = "wrong\n"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.out.startsWith(QStringLiteral("Decode Failed\n"))) << wrong.out.toStdString();
    EXPECT_EQ(wrong.err, QStringLiteral("Cannot decode %1: Image does NOT appear to contain encoded data.\n").arg(hidden));

    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    const uint16_t closed = ostrel::testing::unusedLoopbackPort();
    ostrel::testing::LoopbackServer server(ostrel::testing::answer("HTTP/1.0 200 OK\r\n\r\nGIF89a"));
    struct Case {
        QString url;
        QString message;
    };
    const Case cases[] = {
        {QStringLiteral("http://127.0.0.1:%1/a.gif").arg(closed),
         QStringLiteral("No Connection (cannot connect to 127.0.0.1 port %1: Connection refused).").arg(closed)},
        {QStringLiteral("http://no-such-host.invalid/a.gif"),
         QStringLiteral("No Connection (cannot find the server no-such-host.invalid: ")},
        // Never fetched over plain HTTP from the secure address's host.
        {QString(server.url(QStringLiteral("/a.gif"))).replace(QLatin1String("http://"), QLatin1String("https://")),
         QStringLiteral("Only Plain HTTP Addresses Can Be Fetched")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        const ProcessRun run = runCli({"fetch", c.url, "--timeout", "20"}, dataHomeIn(dataHome));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("Cannot fetch %1: ").arg(c.url) + c.message.left(14)))
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dataHome + QStringLiteral("/ostrel/DATA/WEB/a.gif")));
}

// A decode into a folder of the user's keeps a file of the payload's name
// unless told otherwise; the data folder is Ostrel's own and is written over.
TEST_F(CliTest, DecodeKeepsAFileOfTheSameNameUnlessForced)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    const QString existing = outDir + QStringLiteral("/secret.txt");
    writeFile(existing, "the user's own file");
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere.txt"));
    writeFile(elsewhere, "linked to");
    const QString linkDir = dir.filePath(QStringLiteral("links"));
    ASSERT_TRUE(QDir().mkpath(linkDir));
    ASSERT_TRUE(QFile::link(elsewhere, linkDir + QStringLiteral("/secret.txt")));

    for (const QString& folder : {outDir, linkDir}) {
        const ProcessRun kept = runCli({"decode", hidden, "-o", folder, "--password-file", passwordFile});
        EXPECT_EQ(kept.exitCode, 1);
        EXPECT_TRUE(kept.err.contains(QStringLiteral("%1/secret.txt already exists").arg(folder))) << kept.err.toStdString();
        EXPECT_TRUE(kept.err.contains(QStringLiteral("--force"))) << kept.err.toStdString();
    }
    EXPECT_EQ(readFile(existing), QByteArray("the user's own file"));
    EXPECT_EQ(readFile(elsewhere), QByteArray("linked to"));

    const ProcessRun forced = runCli({"decode", hidden, "-o", outDir, "--force", "--password-file", passwordFile});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(readFile(existing), readFile(payload));

    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    for (int time = 0; time < 2; ++time) {
        const ProcessRun intoData = runCli({"decode", hidden, "--password-file", passwordFile}, dataHomeIn(dataHome));
        EXPECT_EQ(intoData.exitCode, 0) << "decode " << time << ": " << intoData.err.toStdString();
    }
}

} // namespace

// Bands of even colour with faint noise the channels mostly share, as in a
// photograph's calm areas: where --stealth's changes of one stand out.
QString makeCalmPhoto(const QTemporaryDir& dir, const QString& name, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    std::mt19937 random(9);
    std::normal_distribution<double> shared(0.0, 0.7);
    std::normal_distribution<double> own(0.0, 0.3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double base = 50.0 + 12.0 * std::floor(10.0 * x / width) + 20.0 * std::floor(y * 4.0 / height) + shared(random);
            auto channel = [&](double offset) { return int(std::clamp(std::lround(base + offset + own(random)), 0L, 255L)); };
            picture.setPixel(x, y, qRgb(channel(16), channel(8), channel(0)));
        }
    const QString path = dir.filePath(name);
    picture.save(path, "BMP");
    return path;
}

// --stealth gets past the replacement detectors but not the detectors of
// changes of one, which say where its payload ends, in text and JSON.
TEST_F(CliTest, CheckSeesChangesOfOneAndWhereTheyStop)
{
    const QString clean = makeCalmPhoto(dir, QStringLiteral("calm.bmp"), 2000, 400);
    const QString payload10 = dir.filePath(QStringLiteral("tenth.bin"));
    QFile file(payload10);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    std::mt19937 random(4);
    QByteArray bytes(2000 * 400 / 8 / 10, '\0'); // 10 % of the capacity: the top 40 rows
    for (char& byte : bytes)
        byte = char(random());
    file.write(bytes);
    file.close();
    const QString hidden = dir.filePath(QStringLiteral("stealth.bmp"));
    ASSERT_EQ(runCli({"encode", "--stealth", clean, payload10, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);

    ProcessRun text = runCli({"check", clean, hidden});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QStringList reports = text.out.split(QStringLiteral("\n\n"));
    ASSERT_EQ(reports.size(), 2) << text.out.toStdString();
    for (const QString& report : reports)
        EXPECT_TRUE(report.contains(QRegularExpression(QStringLiteral("\nHCF-COM calibrated +\\d\\.\\d\\d +\\d\\.\\d\\d +\\d\\.\\d\\d\n"))))
            << report.toStdString();
    EXPECT_TRUE(reports[0].contains(QStringLiteral("\nChanges of one: no sign of hidden data (step "))) << reports[0].toStdString();
    EXPECT_TRUE(reports[0].trimmed().endsWith(QStringLiteral("\nVerdict: no sign of hidden data"))) << reports[0].toStdString();
    EXPECT_TRUE(reports[1].contains(QStringLiteral("\nBlue: no sign of hidden data"))) << reports[1].toStdString();
    const QRegularExpressionMatch stop = QRegularExpression(
        QStringLiteral("\nChanges of one: hidden data (possible|likely), seem to stop after row (\\d+) of 400 \\(step \\d+\\.\\d\\)\n"))
                                             .match(reports[1]);
    ASSERT_TRUE(stop.hasMatch()) << reports[1].toStdString();
    EXPECT_NEAR(stop.captured(2).toInt(), 40, 2);
    EXPECT_TRUE(reports[1].trimmed().endsWith(QStringLiteral("\nVerdict: hidden data ") + stop.captured(1)))
        << reports[1].toStdString();

    ProcessRun json = runCli({"check", "--json", hidden, clean});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QStringList lines = json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << json.out.toStdString();
    const QJsonObject stealthy = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    const QJsonObject plain = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    const QJsonObject changes = stealthy.value("changesOfOne").toObject();
    EXPECT_EQ(changes.value("verdict").toString(), QStringLiteral("hidden data ") + stop.captured(1));
    EXPECT_EQ(changes.value("changesStopAfterRow").toInt(), stop.captured(2).toInt());
    EXPECT_EQ(changes.value("stepRows").toInt(), stop.captured(2).toInt());
    EXPECT_GE(changes.value("stepStrength").toDouble(), 50.0);
    for (const char* channel : {"red", "green", "blue"})
        EXPECT_GT(changes.value("hcfCom").toObject().value(channel).toDouble(), 0.0) << channel;
    EXPECT_TRUE(changes.contains("blueHcfComAboveStep"));
    EXPECT_EQ(stealthy.value("verdict").toObject().value("verdict").toString(), QStringLiteral("no sign of hidden data"));
    EXPECT_EQ(stealthy.value("overallVerdict").toString(), QStringLiteral("hidden data ") + stop.captured(1));
    const QJsonObject cleanChanges = plain.value("changesOfOne").toObject();
    EXPECT_EQ(cleanChanges.value("verdict").toString(), QStringLiteral("no sign of hidden data"));
    EXPECT_TRUE(cleanChanges.value("changesStopAfterRow").isNull());
    EXPECT_EQ(plain.value("overallVerdict").toString(), QStringLiteral("no sign of hidden data"));
}

namespace {

// The same BMP file with its rows stored top row first.
QByteArray topDownCopy(const QByteArray& bottomUp, int width, int height)
{
    const qsizetype stride = (qsizetype(width) * 3 + 3) / 4 * 4;
    QByteArray file = bottomUp.left(54);
    const int32_t negative = -height;
    std::memcpy(file.data() + 22, &negative, 4);
    for (int row = height - 1; row >= 0; --row)
        file.append(bottomUp.mid(54 + row * stride, stride));
    return file;
}

} // namespace

// 24-bit BMP carriers of more than 64 KiB are read a band at a time: every
// command gives what the same picture gives read whole (from a PNG), for
// either row order, and a carrier whose result may fit a palette is still
// saved with one.
TEST_F(CliTest, BandedCarriersGiveWhatWholePicturesGive)
{
    const int width = 301, height = 200;
    const QString bottomUp = makeCarrier(dir, QStringLiteral("bottom.bmp"), width, height, 0);
    const QString topDown = dir.filePath(QStringLiteral("top.bmp"));
    writeFile(topDown, topDownCopy(readFile(bottomUp), width, height));
    const QString png = dir.filePath(QStringLiteral("whole.png"));
    ASSERT_TRUE(QImage(bottomUp).save(png));
    const QImage carrier(bottomUp);
    ASSERT_EQ(QImage(topDown).convertToFormat(QImage::Format_RGB32), carrier.convertToFormat(QImage::Format_RGB32));

    auto withoutPath = [](QString text, const QString& path) { return text.replace(path, QStringLiteral("P")); };
    for (const QString& picture : {bottomUp, topDown}) {
        SCOPED_TRACE(picture.toStdString());
        for (const char* command : {"info", "check"}) {
            const ProcessRun banded = runCli({command, picture});
            const ProcessRun whole = runCli({command, png});
            ASSERT_EQ(banded.exitCode, 0) << banded.err.toStdString();
            EXPECT_EQ(withoutPath(banded.out, picture), withoutPath(whole.out, png));
        }
        for (const QStringList& mode : {QStringList{}, QStringList{"--stealth"}, QStringList{"--seal"}}) {
            SCOPED_TRACE(mode.join(' ').toStdString());
            const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
            ProcessRun encode =
                runCli(QStringList{"encode", picture, payload, "-o", hidden, "--password-file", passwordFile} + mode);
            ASSERT_EQ(encode.exitCode, 0) << encode.err.toStdString();
            // A plain bottom-up 24-bit file whose pixels differ from the
            // carrier's in the lowest blue bit at most.
            const QByteArray written = readFile(hidden);
            ASSERT_EQ(written.size(), 54 + qsizetype((width * 3 + 3) / 4 * 4) * height);
            int32_t storedHeight = 0;
            std::memcpy(&storedHeight, written.constData() + 22, 4);
            EXPECT_EQ(storedHeight, height);
            EXPECT_EQ(uint8_t(written.at(28)), 24);
            const QImage result = QImage(hidden).convertToFormat(QImage::Format_RGB32);
            const QImage original = carrier.convertToFormat(QImage::Format_RGB32);
            bool onlyLowestBlue = true;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    onlyLowestBlue &= (result.pixel(x, y) | 1u) == (original.pixel(x, y) | 1u)
                        || (mode.contains("--stealth") && qRed(result.pixel(x, y)) == qRed(original.pixel(x, y))
                            && qGreen(result.pixel(x, y)) == qGreen(original.pixel(x, y))
                            && std::abs(qBlue(result.pixel(x, y)) - qBlue(original.pixel(x, y))) == 1);
            EXPECT_TRUE(onlyLowestBlue);
            const QString outDir = dir.filePath(QStringLiteral("out"));
            ProcessRun decode = runCli({"decode", hidden, "-o", outDir, "--force", "--password-file", passwordFile});
            ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString() << decode.err.toStdString();
            EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
            ProcessRun sealKey = runCli({"seal-key", hidden, "--password-file", passwordFile});
            EXPECT_EQ(sealKey.exitCode, mode.contains("--seal") ? 0 : 1) << sealKey.err.toStdString();
        }
    }

    // Twenty colours stay few with their twins: the result takes a palette,
    // as the whole picture's path has always saved it.
    const QString few = makeCarrier(dir, QStringLiteral("few.bmp"), width, height, 20);
    const QString fewHidden = dir.filePath(QStringLiteral("few-hidden.bmp"));
    ProcessRun encode = runCli({"encode", few, payload, "-o", fewHidden, "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.err.toStdString();
    EXPECT_EQ(uint8_t(readFile(fewHidden).at(28)), 8);
}
