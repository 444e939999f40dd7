// SPDX-License-Identifier: Apache-2.0
// Open from Web against a small HTTP server in the test: the fetch runs on
// a worker thread while the window keeps taking events, and its file is
// loaded, cleared away or reported as the command says.
#include "ShellTestSupport.h"
#include "data/WebUnit.h"
#include "data/loopback_server.h"

#include <QAction>
#include <QBuffer>
#include <QSignalSpy>

#include <atomic>

#include <sys/socket.h>

namespace ostrel::testing {
namespace {

QByteArray bmpBytes(const QImage& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

class OpenFromWeb : public ShellWindowTest {
protected:
    // Runs the command with `url` typed in and waits for the fetch to end.
    void fetch(const QString& url)
    {
        QSignalSpy finished(window.get(), &TForm_Main_Steganography::fetchFinished);
        dialogs.urlAnswers.push_back(url);
        trigger(MenuCommand::OpenFromWeb);
        ASSERT_TRUE(window->fetchRunning());
        EXPECT_EQ(window->panelText(2), QStringLiteral("Fetching ") + url + QStringLiteral(" ..."));
        // While the fetch runs, commands that would race it are held back.
        EXPECT_FALSE(window->commandAction(MenuCommand::Open)->isEnabled());
        EXPECT_FALSE(window->commandAction(MenuCommand::Encode)->isEnabled());
        EXPECT_TRUE(window->commandAction(MenuCommand::About)->isEnabled());
        ASSERT_TRUE(finished.wait(30000));
        EXPECT_FALSE(window->fetchRunning());
        EXPECT_TRUE(window->commandAction(MenuCommand::Open)->isEnabled());
    }
};

TEST_F(OpenFromWeb, FetchedPictureIsStoredAndLoaded)
{
    const QImage picture = pictureOfColours(7, 21, 13);
    const QByteArray header = "HTTP/1.0 200 OK\r\nContent-Type: image/bmp\r\n\r\n";
    LoopbackServer server(answer(header + bmpBytes(picture)));
    ASSERT_TRUE(server.listening());
    const QString url = server.url(QStringLiteral("/pictures/fetched.bmp"));
    fetch(url);

    EXPECT_TRUE(server.request().startsWith("GET /pictures/fetched.bmp"));
    const QString stored = webFolder() + QStringLiteral("fetched.bmp");
    EXPECT_EQ(fileBytes(stored), bmpBytes(picture));
    EXPECT_TRUE(samePixels(window->picture(), picture));
    EXPECT_EQ(window->panelText(2), stored);
    EXPECT_EQ(window->panelText(1), QStringLiteral("7 of 23 Colors"));
    const DialogCall* message = dialogs.last(QStringLiteral("message"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->title, QStringLiteral("Fetch: ") + url);
    EXPECT_EQ(message->text, QString::fromLatin1(header));
    EXPECT_TRUE(message->printAllowed);
    EXPECT_EQ(dialogs.last(QStringLiteral("url"))->text, QString()) << "no address was typed before";

    // The next run offers the address typed last.
    dialogs.urlAnswers.push_back(std::nullopt);
    trigger(MenuCommand::OpenFromWeb);
    EXPECT_EQ(dialogs.last(QStringLiteral("url"))->text, url);
    EXPECT_FALSE(window->fetchRunning());
}

TEST_F(OpenFromWeb, FileThatIsNoPictureClearsThePicture)
{
    openPicture(pictureOfColours(3, 5, 5));
    LoopbackServer server(answer("HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\n\r\nPK\x03\x04"));
    ASSERT_TRUE(server.listening());
    fetch(server.url(QStringLiteral("/archive.zip")));

    EXPECT_TRUE(QFile::exists(webFolder() + QStringLiteral("archive.zip")));
    EXPECT_EQ(window->panelText(0), QStringLiteral("320\u00D7240"));
    EXPECT_EQ(window->panelText(1), QStringLiteral("2 of 16 Colors"));
    EXPECT_EQ(window->panelText(2), QString());
    EXPECT_EQ(dialogs.kinds().last(), QStringLiteral("message"));
}

TEST_F(OpenFromWeb, FailedFetchIsReportedAndChangesNothing)
{
    const QString source = openPicture(pictureOfColours(3, 5, 5));
    const QImage before = window->picture().copy();
    // A port that was free a moment ago and has nobody listening now.
    const uint16_t closedPort = unusedLoopbackPort();
    ASSERT_NE(closedPort, 0);
    const QString url = QStringLiteral("http://127.0.0.1:%1/x.bmp").arg(closedPort);
    fetch(url);

    const DialogCall* message = dialogs.last(QStringLiteral("message"));
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->text.startsWith(QStringLiteral("ERROR: "))) << message->text.toStdString();
    EXPECT_EQ(message->title, QStringLiteral("Fetch: ") + url);
    // The cause follows, in the system's words.
    const DialogCall* cause = dialogs.last(QStringLiteral("error"));
    ASSERT_NE(cause, nullptr);
    EXPECT_EQ(cause->text,
              QStringLiteral("Cannot connect to 127.0.0.1 port %1: Connection refused").arg(closedPort));
    EXPECT_TRUE(samePixels(window->picture(), before));
    EXPECT_EQ(window->panelText(2), source);
    EXPECT_FALSE(QFile::exists(webFolder() + QStringLiteral("x.bmp")));
}

// Closing the window while a server keeps the fetch waiting ends the fetch
// there and then: the server sees the connection go, nothing is stored and
// nothing is reported to a window that is gone.
TEST_F(OpenFromWeb, ClosingTheWindowEndsTheFetchAtOnce)
{
    const QString source = openPicture(pictureOfColours(3, 5, 5));
    std::atomic<bool> clientLeft{false};
    auto server = std::make_unique<LoopbackServer>([&clientLeft](LoopbackServer&, int client) {
        LoopbackServer::sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: image/bmp\r\n\r\nBM");
        char byte;
        clientLeft = readable(client, std::chrono::seconds(10)) && ::recv(client, &byte, 1, 0) <= 0;
    });
    ASSERT_TRUE(server->listening());
    const QString url = server->url(QStringLiteral("/slow.bmp"));
    dialogs.urlAnswers.push_back(url);
    trigger(MenuCommand::OpenFromWeb);
    ASSERT_TRUE(window->fetchRunning());
    EXPECT_EQ(window->panelText(2), QStringLiteral("Fetching ") + url + QStringLiteral(" ..."));
    ASSERT_FALSE(server->request().isEmpty()) << "the fetch never asked";

    window->close();
    EXPECT_FALSE(window->fetchRunning());
    EXPECT_FALSE(FetchInProgress());
    EXPECT_EQ(window->panelText(2), source);
    server.reset();
    EXPECT_TRUE(clientLeft) << "the server had to end the connection itself";
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(webFolder() + QStringLiteral("slow.bmp")));
    EXPECT_EQ(dialogs.last(QStringLiteral("message")), nullptr);
}

} // namespace
} // namespace ostrel::testing
