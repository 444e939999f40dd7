// Drives the ostrel-cli program as a user would, through its arguments,
// files and exit status.
#include "colour/AnalysisCharts.h"
#include "colour/Census.h"
#include "imageio/GraphicsIOUnit.h"
#include "util/Picture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <random>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args, const QByteArray& input = {}, const QString& dataHome = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!dataHome.isEmpty())
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(OSTREL_CLI_PATH), args);
    process.waitForStarted();
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
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
    CliRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.err.toStdString();
    EXPECT_TRUE(encode.out.startsWith(QStringLiteral("Encoding Successful\n\nEncoding: "))) << encode.out.toStdString();

    const QString outDir = dir.filePath(QStringLiteral("out"));
    CliRun decode = runCli({"decode", hidden, "-o", outDir, "--password-stdin"}, "correct horse\n");
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString() << decode.err.toStdString();
    EXPECT_TRUE(decode.out.startsWith(QStringLiteral("Decode Successful\n\n")));
    EXPECT_TRUE(decode.out.contains(QStringLiteral("Check Sum is OK")));
    EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
}

TEST_F(CliTest, DecodeWithoutFolderWritesIntoTheDataFolder)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const QString dataHome = dir.filePath(QStringLiteral("xdg"));
    CliRun decode = runCli({"decode", hidden, "--password-file", passwordFile}, {}, dataHome);
    ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
    EXPECT_EQ(readFile(dataHome + QStringLiteral("/ostrel/DATA/STEGANOGRAPHY/secret.txt")), readFile(payload));
}

TEST_F(CliTest, WrongPasswordFailsAndWritesNothing)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("carrier.bmp"), 64, 48, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    ASSERT_EQ(runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile}).exitCode, 0);
    const QString outDir = dir.filePath(QStringLiteral("out"));
    CliRun decode = runCli({"decode", hidden, "-o", outDir, "--password-stdin"}, "wrong\n");
    EXPECT_EQ(decode.exitCode, 1);
    EXPECT_TRUE(decode.out.startsWith(QStringLiteral("Decode Failed\n\n")));
    EXPECT_TRUE(decode.out.contains(QStringLiteral("Image does NOT appear to contain encoded data.")));
    EXPECT_TRUE(QDir(outDir).entryList(QDir::Files).isEmpty());
}

TEST_F(CliTest, TooLargePayloadFailsWithoutWritingTheOutput)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("small.bmp"), 16, 16, 0);
    const QString hidden = dir.filePath(QStringLiteral("hidden.bmp"));
    CliRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--password-file", passwordFile});
    EXPECT_EQ(encode.exitCode, 1);
    EXPECT_TRUE(encode.out.contains(QStringLiteral("Insufficient Space to Encode File.")));
    EXPECT_FALSE(QFile::exists(hidden));
}

TEST_F(CliTest, ManyColoursCannotBeSavedAsGifButReductionAllowsIt)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("photo.bmp"), 80, 60, 0);
    const QString gif = dir.filePath(QStringLiteral("hidden.gif"));
    CliRun refused = runCli({"encode", carrier, payload, "-o", gif, "--password-file", passwordFile});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral(".bmp"))) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(gif));

    // 256 colours of its own, none of them a base colour: 272 with those.
    QImage own256(16, 16, QImage::Format_RGB888);
    for (int i = 0; i < 256; ++i)
        own256.setPixel(i % 16, i / 16, qRgb(i, 1, 2));
    const QString own256Path = dir.filePath(QStringLiteral("own256.bmp"));
    ASSERT_TRUE(own256.save(own256Path, "BMP"));
    CliRun explained = runCli({"convert", own256Path, dir.filePath(QStringLiteral("own256.gif"))});
    EXPECT_EQ(explained.exitCode, 1);
    EXPECT_TRUE(explained.err.contains(QStringLiteral("has 256 colours, 272 with the 16 base colours")))
        << explained.err.toStdString();

    for (const char* dither : {"", "--dither"}) {
        QStringList args = {"encode", carrier, payload, "-o", gif, "--reduce", "--password-file", passwordFile};
        if (*dither)
            args << dither;
        CliRun reduced = runCli(args);
        ASSERT_EQ(reduced.exitCode, 0) << reduced.err.toStdString();
        EXPECT_TRUE(reduced.out.startsWith(QStringLiteral("Resulting image will contain ")));
        const QString outDir = dir.filePath(QStringLiteral("out") + QLatin1String(dither));
        CliRun decode = runCli({"decode", gif, "-o", outDir, "--password-file", passwordFile});
        ASSERT_EQ(decode.exitCode, 0) << decode.out.toStdString();
        EXPECT_EQ(readFile(outDir + QStringLiteral("/secret.txt")), readFile(payload));
    }
}

TEST_F(CliTest, InfoPrintsSizeColoursAndCapacity)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("few.bmp"), 320, 240, 3);
    CliRun info = runCli({"info", carrier});
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
    CliRun textInfo = runCli({"info", text});
    ASSERT_EQ(textInfo.exitCode, 0) << textInfo.err.toStdString();
    const QStringList size = textInfo.out.section(QLatin1Char('\n'), 0, 0).split(QChar(0xD7));
    ASSERT_EQ(size.size(), 2) << textInfo.out.toStdString();
    EXPECT_GT(size[0].toInt(), 50);
    EXPECT_GT(size[1].toInt(), 20);

    const QString carrier = makeCarrier(dir, QStringLiteral("whole.bmp"), 200, 100, 0);
    const QString damaged = dir.filePath(QStringLiteral("damaged.bmp"));
    writeFile(damaged, readFile(carrier).left(20000));
    CliRun damagedInfo = runCli({"info", damaged});
    ASSERT_EQ(damagedInfo.exitCode, 0) << damagedInfo.err.toStdString();
    EXPECT_TRUE(damagedInfo.out.startsWith(QString::fromUtf8("200\xC3\x97" "100\n"))) << damagedInfo.out.toStdString();
    EXPECT_TRUE(damagedInfo.err.contains(QStringLiteral("damaged"))) << damagedInfo.err.toStdString();
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
        {{"encode", carrier, payload, "-o", dir.filePath("out.png"), "--password-file", passwordFile}, 2},
        {{"convert", carrier, dir.filePath("out.jpg")}, 2},
        {{"info", carrier, "--bogus"}, 2},
        {{"info", dir.filePath("missing.bmp")}, 1},
        {{"decode", dir.filePath("missing.bmp"), "--password-file", passwordFile}, 1},
        {{"decode", carrier, "--password-file", dir.filePath("no-password-file")}, 1},
        {{"chart", carrier}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.png")}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--kind", "cube"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--dots", "stars"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--size", "0x600"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--size", "800"}, 2},
        {{"chart", carrier, "-o", dir.filePath("chart.bmp"), "--size", "100000x100000"}, 2},
        {{"chart", dir.filePath("missing.bmp"), "-o", dir.filePath("chart.bmp")}, 1},
        {{"chart", "--help"}, 0},
        {{"encode", "--help"}, 0},
        {{"--help"}, 0},
    };
    for (const Case& c : cases) {
        CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.png")));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.png")));
    EXPECT_FALSE(QFile::exists(dir.filePath("chart.bmp")));
}

TEST_F(CliTest, ConvertKeepsEveryPixelOfAFewColourPicture)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("few.bmp"), 33, 17, 5);
    for (const char* name : {"copy.gif", "copy.bmp"}) {
        const QString target = dir.filePath(QLatin1String(name));
        CliRun convert = runCli({"convert", carrier, target});
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
        TChartChoice choice;
        QSize size;
    };
    const Case cases[] = {
        {few, {}, "bright.bmp", {TAnalysisChart::Bright, false, TDotStyle::Blocks}, {800, 600}},
        {few, {"--kind", "bright"}, "bright.gif", {TAnalysisChart::Bright, false, TDotStyle::Blocks}, {800, 600}},
        {few, {"--kind", "rgb", "--size", "500x400"}, "cube.bmp", {TAnalysisChart::Rgb, false, TDotStyle::Blocks}, {500, 400}},
        // The graphical application, which the cube's labels need, must not
        // take --reverse as its own option.
        {few, {"--kind", "rgb", "--reverse", "--dots", "outline"}, "back.bmp",
         {TAnalysisChart::Rgb, true, TDotStyle::Outline}, {800, 600}},
        {many, {"--kind", "hsv", "--size", "640x480"}, "hexagon.bmp", {TAnalysisChart::Hsv, false, TDotStyle::Points}, {640, 480}},
        {many, {"--kind", "hsv", "--dots", "blocks", "--reverse"}, "blocks.bmp",
         {TAnalysisChart::Hsv, true, TDotStyle::Blocks}, {800, 600}},
    };
    for (const Case& c : cases) {
        const QString output = dir.filePath(c.output);
        CliRun run = runCli(QStringList{"chart", c.picture, "-o", output} + c.options);
        ASSERT_EQ(run.exitCode, 0) << c.output.toStdString() << " " << run.err.toStdString();

        QImage picture(c.picture);
        ensurePictureFormat(picture);
        TZQXTColorSplayTree tree;
        CountColorsQuiet(picture, &tree);
        QImage expected = allocatePicture(c.size.width(), c.size.height());
        DrawAnalysisChart(expected, tree, c.choice);
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
    CliRun run = runCli({"chart", many, "-o", output, "--kind", "rgb"});
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

    CliRun check = runCli({"check", clean, hidden});
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

    CliRun check = runCli({"check", "--json", hidden, clean});
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
        CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_EQ(int(run.out.count(QStringLiteral("Verdict: ")) + run.out.count(QStringLiteral("\"verdict\":{"))), c.reports)
            << c.args.join(' ').toStdString() << "\n" << run.out.toStdString();
    }
}

} // namespace

// A carrier of few colours would be saved with a palette by a normal encode;
// the stealthy one stays a 24-bit file, and the usual decode reads it.
TEST_F(CliTest, StealthEncodeDecodesAsUsualAndRefusesPaletteResults)
{
    const QString carrier = makeCarrier(dir, QStringLiteral("few.bmp"), 64, 48, 20);
    const QString hidden = dir.filePath(QStringLiteral("quiet.bmp"));
    CliRun encode = runCli({"encode", carrier, payload, "-o", hidden, "--stealth", "--password-file", passwordFile});
    ASSERT_EQ(encode.exitCode, 0) << encode.out.toStdString() << encode.err.toStdString();
    EXPECT_TRUE(encode.out.contains(QStringLiteral("Stealth Mode: "))) << encode.out.toStdString();
    const QByteArray file = readFile(hidden);
    ASSERT_GT(file.size(), 30);
    EXPECT_EQ(uint8_t(file[28]), 24) << "bits per pixel";

    const QString outDir = dir.filePath(QStringLiteral("out"));
    CliRun decode = runCli({"decode", hidden, "-o", outDir, "--password-file", passwordFile});
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
        CliRun refused = runCli(QStringList{"encode", carrier, payload, "-o", out, "--password-file", passwordFile}
                                + r.extra);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.err.contains(r.message)) << refused.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}
