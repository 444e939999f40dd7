// SPDX-License-Identifier: Apache-2.0
// Fetches over loopback: against Python's HTTP server and against a hostile
// server of our own (silent, stalling, endless, resetting), checking the
// request bytes, the file names, every error text, and storing in the web
// folder.
#include "data/TempPathUnit.h"
#include "data/WebUnit.h"
#include "imageio/text_printing.h"
#include "loopback_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>

#include <sys/stat.h>

namespace ostrel::testing {
namespace {

using namespace std::chrono_literals;

// Short time-outs and limits, so that failures show within a second.
FetchSettings quickSettings()
{
    FetchSettings settings;
    settings.lookupTimeout = 2s;
    settings.connectTimeout = 500ms;
    settings.receiveTimeout = 300ms;
    settings.maxHeaderBytes = 4096;
    settings.maxBodyBytes = 64 * 1024;
    return settings;
}

struct Fetched {
    QString fileName;
    QString header;
    QByteArray body;
    QString error;
};

Fetched fetch(const QString& url, const FetchSettings& settings = quickSettings())
{
    Fetched result;
    FetchURL(url, result.fileName, result.header, &result.body, result.error, settings);
    return result;
}

QByteArray response(const char* contentType, const QByteArray& body)
{
    return QByteArray("HTTP/1.0 200 OK\r\nContent-Type: ") + contentType + "\r\n\r\n" + body;
}

TEST(WebFetch, SendsTheRequestAndKeepsHeaderAndBody)
{
    static const char kBody[] = "GIF89a\x01\x00\x01\x00\r\n\r\n";
    const QByteArray body(kBody, sizeof kBody - 1);
    LoopbackServer server(answer(response("image/gif", body)));
    ASSERT_TRUE(server.listening());
    const Fetched result = fetch(server.url(QStringLiteral("/pics/cat.gif")));
    EXPECT_EQ(result.error, QString());
    EXPECT_EQ(server.request(), QByteArray("GET /pics/cat.gif   HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_EQ(result.fileName, QStringLiteral("cat.gif"));
    EXPECT_EQ(result.header, QStringLiteral("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n"));
    EXPECT_EQ(result.body, body);
    EXPECT_FALSE(FetchInProgress());
}

// The file name as the address and the response's content type make it.
TEST(WebFetch, NamesTheFileFromAddressAndContentType)
{
    struct Case {
        const char* path;
        QByteArray response;
        const char* requestLine;
        const char* fileName;
    };
    const Case cases[] = {
        {"/cgi/show?id=3", response("image/png", "png"), "GET /cgi/show?id=3   HTTP/1.0", "Untitled.png"},
        {"/cgi/show?id=3", response("text/html", "<p>"), "GET /cgi/show?id=3   HTTP/1.0", "index.html"},
        {"/a.php?x=1", response("image/gif", "gif"), "GET /a.php?x=1   HTTP/1.0", "a.gif"},
        {"/photo.php", response("image/jpeg", "jpg"), "GET /photo.php   HTTP/1.0", "photo.jpg"},
        {"/pic.JPEG", response("image/jpeg", "jpg"), "GET /pic.JPEG   HTTP/1.0", "pic.JPEG"},
        {"/dir", response("text/html", "<p>"), "GET /dir/index.html   HTTP/1.0", "index.html"},
        {"", response("text/html", "<p>"), "GET //index.html   HTTP/1.0", "index.html"},
        {"/s?q", response("IMAGE/GIF", "gif"), "GET /s?q   HTTP/1.0", "Untitled.gif"},
        {"/s?q", response("Image/Gif", "gif"), "GET /s?q   HTTP/1.0", "Untitled"},
        // A server that answers nothing and closes: success, nothing received.
        {"/s?q", QByteArray(), "GET /s?q   HTTP/1.0", "Untitled"},
        // A header that never ends keeps every byte as header and no body.
        {"/s?q", "HTTP/1.0 200 OK\r\nContent-Type: image/png\r\n", "GET /s?q   HTTP/1.0", "Untitled.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LoopbackServer server(answer(c.response));
        const Fetched result = fetch(server.url(QString::fromLatin1(c.path)));
        EXPECT_EQ(result.error, QString());
        EXPECT_TRUE(server.request().startsWith(QByteArray(c.requestLine) + "\r\n"));
        EXPECT_EQ(result.fileName, QLatin1String(c.fileName));
        const qsizetype headerEnd = c.response.indexOf("\r\n\r\n");
        EXPECT_EQ(result.header.size(), headerEnd < 0 ? c.response.size() : headerEnd + 4);
        EXPECT_EQ(result.body, headerEnd < 0 ? QByteArray() : c.response.mid(headerEnd + 4));
    }
}

// Each way a fetch can fail, with its error text; FileName keeps what the
// address gave and is not adjusted to a content type.
TEST(WebFetch, EveryFailureHasItsText)
{
    struct Case {
        const char* what;
        LoopbackServer::Behaviour behaviour;
        const QString& error;
        qsizetype headerAtLeast;
    };
    const Case cases[] = {
        {"header never ends", stall("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n"), FetchError::ReceiveTimedOut,
         1},
        {"stalls in the body", stall(response("image/gif", "GIF8")), FetchError::ReceiveTimedOut, 1},
        {"endless body", trickleEndlessBody(), FetchError::BodyTooLarge, 1},
        {"header without end", answer("HTTP/1.0 200 OK\r\nX: " + QByteArray(8000, 'a')), FetchError::HeaderTooLarge,
         4096},
        {"reset after the request", resetConnection(), FetchError::NoConnection, 0},
        {"reset during the body", resetConnection(response("image/gif", QByteArray(20000, 'g'))),
         FetchError::NoConnection, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server(c.behaviour);
        const Fetched result = fetch(server.url(QStringLiteral("/x?y")));
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.fileName, QString());
        EXPECT_GE(result.header.size(), c.headerAtLeast);
        EXPECT_LE(result.header.size(), 4096);
        EXPECT_LE(result.body.size(), 64 * 1024);
        EXPECT_FALSE(FetchInProgress());
    }
}

TEST(WebFetch, RefusalsBeforeAnyConnection)
{
    QString fileName = QStringLiteral("old");
    QString header = QStringLiteral("old header");
    QString error;
    FetchURL(QStringLiteral("http://127.0.0.1/pics/a.gif"), fileName, header, nullptr, error, quickSettings());
    EXPECT_EQ(error, FetchError::NoBodyStream);
    EXPECT_EQ(fileName, QStringLiteral("a.gif"));
    EXPECT_EQ(header, QStringLiteral("old header"));

    for (const char* url : {"", "http:///pics/b.gif"}) {
        SCOPED_TRACE(url);
        QByteArray body("old body");
        FetchURL(QString::fromLatin1(url), fileName, header, &body, error, quickSettings());
        EXPECT_EQ(error, FetchError::NoHost);
        EXPECT_EQ(body, QByteArray("old body"));
    }
    EXPECT_EQ(fileName, QStringLiteral("b.gif"));
}

TEST(WebFetch, ConnectionFailures)
{
    // Nothing listens on the port.
    const Fetched refused = fetch(QStringLiteral("http://127.0.0.1:%1/x.gif").arg(unusedLoopbackPort()));
    EXPECT_EQ(refused.error, FetchError::NoConnection);
    EXPECT_EQ(refused.fileName, QStringLiteral("x.gif"));
    EXPECT_EQ(refused.header, QString());

    const UnacceptedListener full;
    ASSERT_TRUE(full.listening());
    const auto started = std::chrono::steady_clock::now();
    const Fetched hanging = fetch(full.url(QStringLiteral("/x.gif")));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(hanging.error, FetchError::ConnectTimedOut);
    EXPECT_LT(waited, 5s);
}

// A name (not a number) is looked up off the calling thread, within its time.
TEST(WebFetch, LooksUpHostNames)
{
    LoopbackServer server(answer(response("image/png", "png")));
    const Fetched result = fetch(QStringLiteral("http://localhost:%1/a.png").arg(server.port()));
    EXPECT_EQ(result.error, QString());
    EXPECT_EQ(server.request(), QByteArray("GET /a.png   HTTP/1.0\r\nHost: localhost\r\n\r\n"));
    EXPECT_EQ(result.body, QByteArray("png"));
}

// Another thread may end a fetch whatever it waits for, and before it starts;
// the time-outs here are far longer than any test, so only the cancel can
// end these fetches.
TEST(WebFetch, CancelEndsTheFetchInEveryStep)
{
    FetchSettings patient = quickSettings();
    patient.connectTimeout = 60s;
    patient.receiveTimeout = 60s;
    patient.maxBodyBytes = qint64(1) << 30;
    struct Case {
        const char* what;
        std::function<QString()> start; // the address, once the step is reached
    };
    std::unique_ptr<LoopbackServer> server;
    std::unique_ptr<UnacceptedListener> listener;
    const Case cases[] = {
        {"connecting",
         [&] {
             listener = std::make_unique<UnacceptedListener>();
             return listener->url(QStringLiteral("/x.gif"));
         }},
        {"waiting for the header",
         [&] {
             server = std::make_unique<LoopbackServer>(stall("HTTP/1.0 200 OK\r\n"));
             return server->url(QStringLiteral("/x.gif"));
         }},
        {"receiving the body",
         [&] {
             server = std::make_unique<LoopbackServer>(trickleEndlessBody());
             return server->url(QStringLiteral("/x.gif"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FetchCancellation cancellation;
        FetchSettings settings = patient;
        settings.cancellation = &cancellation;
        const QString url = c.start();
        auto running = std::async(std::launch::async, [&] { return fetch(url, settings); });
        if (server)
            server->request();
        else
            std::this_thread::sleep_for(100ms);
        EXPECT_TRUE(FetchInProgress());
        cancellation.cancel();
        const Fetched result = running.get();
        EXPECT_EQ(result.error, FetchError::Cancelled);
        EXPECT_FALSE(FetchInProgress());
        server.reset();
        listener.reset();
    }

    // Cancelled before it starts: it ends at once, also against a server
    // that would answer.
    FetchCancellation early;
    early.cancel();
    LoopbackServer answering(answer(response("image/gif", "GIF8")));
    FetchSettings settings = patient;
    settings.cancellation = &early;
    const Fetched result = fetch(answering.url(QStringLiteral("/a.gif")), settings);
    EXPECT_EQ(result.error, FetchError::Cancelled);
    EXPECT_EQ(result.body, QByteArray());
}

// A fetch on a worker thread; a second one meanwhile is refused at once.
TEST(WebFetch, SecondFetchWhileOneRunsIsRefused)
{
    LoopbackServer server(stall("HTTP/1.0 200 OK\r\n"));
    FetchSettings patient = quickSettings();
    patient.receiveTimeout = 2s;
    auto running = std::async(std::launch::async, [&] { return fetch(server.url(QStringLiteral("/a.gif")), patient); });
    server.request(); // the first fetch is now connected
    EXPECT_TRUE(FetchInProgress());
    QString fileName = QStringLiteral("kept");
    QString header = QStringLiteral("kept");
    QByteArray body("kept");
    QString error;
    FetchURL(QStringLiteral("http://127.0.0.1/b.gif"), fileName, header, &body, error, quickSettings());
    EXPECT_EQ(error, FetchError::AlreadyInProgress);
    EXPECT_EQ(fileName, QStringLiteral("kept"));
    EXPECT_EQ(header, QStringLiteral("kept"));
    EXPECT_EQ(body, QByteArray("kept"));
    EXPECT_EQ(running.get().error, FetchError::ReceiveTimedOut);
    EXPECT_FALSE(FetchInProgress());
}

// A server that keeps every receive alive with a byte now and then cannot
// keep the fetch alive beyond its deadline, whichever step it is in.
TEST(WebFetch, WholeFetchEndsAtItsDeadline)
{
    LoopbackServer server(trickleOneByteAtATime(100ms));
    FetchSettings settings = quickSettings();
    settings.totalTimeout = 1s;
    const auto started = std::chrono::steady_clock::now();
    const Fetched trickled = fetch(server.url(QStringLiteral("/slow.gif")), settings);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(trickled.error, FetchError::TimeLimitReached);
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 5s);
    EXPECT_FALSE(trickled.body.isEmpty());

    // Connecting to a listener that never accepts: the deadline is shorter
    // than the connection's own time-out and wins.
    const UnacceptedListener full;
    ASSERT_TRUE(full.listening());
    settings.connectTimeout = 5s;
    settings.totalTimeout = 300ms;
    EXPECT_EQ(fetch(full.url(QStringLiteral("/x.gif")), settings).error, FetchError::TimeLimitReached);
}

// Python's own HTTP server, on a free port, serving a temporary folder.
class PythonHttpServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            GTEST_SKIP() << "python3 is not installed";
        ASSERT_TRUE(m_root.isValid());
        m_port = unusedLoopbackPort();
        m_server.start(python, {QStringLiteral("-m"), QStringLiteral("http.server"), QString::number(m_port),
                                QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                                m_root.path()});
        ASSERT_TRUE(m_server.waitForStarted(10000));
        for (int attempt = 0; attempt < 100 && !accepting(); ++attempt)
            std::this_thread::sleep_for(100ms);
        ASSERT_TRUE(accepting()) << "the server did not start listening";
    }

    void TearDown() override
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }

    bool accepting() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_port);
        const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return connected;
    }

    void put(const QString& relative, const QByteArray& bytes)
    {
        const QString path = m_root.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }

    QTemporaryDir m_root;
    QProcess m_server;
    uint16_t m_port = 0;
};

TEST_F(PythonHttpServer, FetchesFilesAndErrorPages)
{
    const QByteArray picture("GIF89a picture bytes\r\n\r\nmore");
    put(QStringLiteral("pics/cat.gif"), picture);
    put(QStringLiteral("index.html"), "<html>root</html>");
    put(QStringLiteral("dir/index.html"), "<html>dir</html>");
    struct Case {
        const char* path;
        const char* status;
        const char* fileName;
        QByteArray body; // empty: not compared
    };
    const Case cases[] = {
        {"/pics/cat.gif", "HTTP/1.0 200 ", "cat.gif", picture},
        {"/", "HTTP/1.0 200 ", "index.html", "<html>root</html>"},
        {"/dir", "HTTP/1.0 200 ", "index.html", "<html>dir</html>"},
        // An error status is no failure: its page is the body, named by its type.
        {"/pics/gone.gif", "HTTP/1.0 404 ", "gone.html", {}},
        {"/pics/show?id=3", "HTTP/1.0 404 ", "index.html", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Fetched result = fetch(url(QString::fromLatin1(c.path)), FetchSettings());
        EXPECT_EQ(result.error, QString());
        EXPECT_TRUE(result.header.startsWith(QLatin1String(c.status))) << result.header.toStdString();
        EXPECT_TRUE(result.header.endsWith(QStringLiteral("\r\n\r\n")));
        EXPECT_EQ(result.fileName, QLatin1String(c.fileName));
        if (!c.body.isEmpty())
            EXPECT_EQ(result.body, c.body);
        else
            EXPECT_FALSE(result.body.isEmpty());
    }
}

// Open from Web's core: the body stored in the web folder under a safe name.
class WebFolderFetch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid());
        ASSERT_TRUE(createDataFoldersAt(m_data.filePath(QStringLiteral("DATA"))));
    }
    void TearDown() override { clearDataFolders(); }

    QByteArray stored(const QString& name) const
    {
        QFile file(webFolder() + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir m_data;
};

TEST_F(WebFolderFetch, StoresTheBodyUnderItsName)
{
    {
        QFile old(webFolder() + QStringLiteral("cat.gif"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older fetch");
    }
    LoopbackServer server(answer(response("image/gif", "new picture")));
    const WebFetchResult result = fetchToWebFolder(server.url(QStringLiteral("/cat.gif")), quickSettings());
    EXPECT_EQ(result.errorText, QString());
    EXPECT_EQ(result.fileName, QStringLiteral("cat.gif"));
    EXPECT_EQ(result.targetPath, webFolder() + QStringLiteral("cat.gif"));
    EXPECT_EQ(stored(QStringLiteral("cat.gif")), QByteArray("new picture"));
    // A fetched file may be anything the user asked for: it is theirs alone.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(result.targetPath).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(fetchMessageText(result), QStringLiteral("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n"));
    EXPECT_EQ(fetchMessageTitle(QStringLiteral("http://x/")), QStringLiteral("Fetch: http://x/"));
}

// Names that could leave the web folder, or are no names at all, become Untitled.dat.
TEST_F(WebFolderFetch, UnsafeNamesBecomeUntitled)
{
    const QString tooLong = QStringLiteral("/") + QString(300, u'n') + QStringLiteral(".gif");
    for (const QString& path : {QStringLiteral("/.."), QStringLiteral("/."), QStringLiteral("/x/..?q"),
                                QStringLiteral("/a\\b.gif"), QStringLiteral("/a\x01.gif"), tooLong}) {
        SCOPED_TRACE(path.toStdString());
        LoopbackServer server(answer(response("application/octet-stream", "body")));
        const WebFetchResult result = fetchToWebFolder(server.url(path), quickSettings());
        EXPECT_EQ(result.errorText, QString());
        EXPECT_EQ(result.fileName, QStringLiteral("Untitled.dat"));
        EXPECT_EQ(result.targetPath, webFolder() + QStringLiteral("Untitled.dat"));
    }
    EXPECT_EQ(stored(QStringLiteral("Untitled.dat")), QByteArray("body"));
    EXPECT_EQ(QDir(webFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("Untitled.dat")}));
    EXPECT_EQ(QDir(m_data.filePath(QStringLiteral("DATA"))).entryList(QDir::Files), QStringList());
}

TEST_F(WebFolderFetch, FailuresStoreNothing)
{
    // A failed fetch keeps the address's name (an empty one becomes
    // Untitled.dat) and writes no file.
    for (const char* path : {"/x.gif", "/x?y"}) {
        SCOPED_TRACE(path);
        const WebFetchResult refused = fetchToWebFolder(
            QStringLiteral("http://127.0.0.1:%1%2").arg(unusedLoopbackPort()).arg(QLatin1String(path)),
            quickSettings());
        EXPECT_EQ(refused.errorText, FetchError::NoConnection);
        EXPECT_EQ(refused.fileName, QLatin1String(path[2] == '.' ? "x.gif" : "Untitled.dat"));
        EXPECT_EQ(fetchMessageText(refused), QStringLiteral("ERROR: No Connection\r\n\r\n"));
    }
    EXPECT_EQ(QDir(webFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    // The target cannot be written (a folder of that name is in the way).
    ASSERT_TRUE(QDir().mkpath(webFolder() + QStringLiteral("busy.gif")));
    LoopbackServer server(answer(response("image/gif", "b")));
    const WebFetchResult blocked = fetchToWebFolder(server.url(QStringLiteral("/busy.gif")), quickSettings());
    EXPECT_EQ(blocked.errorText, QStringLiteral("Undetermined Error"));
    EXPECT_TRUE(blocked.failureDetail.contains(QStringLiteral("busy.gif: it is a folder")))
        << blocked.failureDetail.toStdString();
    EXPECT_EQ(blocked.fileName, QString());
    EXPECT_EQ(blocked.targetPath, QString());
    EXPECT_EQ(fetchMessageText(blocked), QStringLiteral("ERROR: Undetermined Error\r\n\r\n"));
    EXPECT_TRUE(QFileInfo(webFolder() + QStringLiteral("busy.gif")).isDir());

    // Out of time: nothing of what arrived is stored.
    LoopbackServer slowServer(trickleOneByteAtATime(50ms));
    FetchSettings shortFetch = quickSettings();
    shortFetch.totalTimeout = 400ms;
    const WebFetchResult late = fetchToWebFolder(slowServer.url(QStringLiteral("/late.gif")), shortFetch);
    EXPECT_EQ(late.errorText, FetchError::TimeLimitReached);
    EXPECT_FALSE(QFile::exists(webFolder() + QStringLiteral("late.gif")));

    // No web folder at all: nothing is written anywhere else instead.
    const QString folder = webFolder();
    clearDataFolders();
    LoopbackServer homelessServer(answer(response("image/gif", "h")));
    const WebFetchResult homeless = fetchToWebFolder(homelessServer.url(QStringLiteral("/home.gif")), quickSettings());
    EXPECT_EQ(homeless.errorText, QStringLiteral("Undetermined Error"));
    EXPECT_FALSE(QFile::exists(QStringLiteral("home.gif")));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList());
}

// A body shorter than the server announced is lost data: an error, and
// nothing is stored. One that is whole, or a server that announces no
// length, is stored.
TEST_F(WebFolderFetch, BodyShorterThanAnnouncedIsAnError)
{
    struct Case {
        const char* name;
        QByteArray response;
        bool stored;
    };
    const Case cases[] = {
        {"cut.gif", "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nGIF89a....", false},
        {"cutcase.gif", "HTTP/1.0 200 OK\r\ncontent-length:  11\r\n\r\nGIF89a", false},
        {"whole.gif", "HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nGIF89a", true},
        {"unannounced.gif", "HTTP/1.0 200 OK\r\n\r\nGIF89a", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server(answer(c.response));
        const WebFetchResult result =
            fetchToWebFolder(server.url(QStringLiteral("/") + QLatin1String(c.name)), quickSettings());
        if (c.stored) {
            EXPECT_EQ(result.errorText, QString());
            EXPECT_EQ(stored(QLatin1String(c.name)), QByteArray("GIF89a"));
        } else {
            EXPECT_TRUE(result.errorText.startsWith(FetchError::BodyCutShort)) << result.errorText.toStdString();
            EXPECT_FALSE(QFile::exists(webFolder() + QLatin1String(c.name)));
        }
    }
}

// An error page is stored as it came, and the message says which status the
// server answered, so it never passes for the resource.
TEST_F(WebFolderFetch, ErrorStatusIsStoredAndSaid)
{
    LoopbackServer server(answer("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<p>gone</p>"));
    const WebFetchResult result = fetchToWebFolder(server.url(QStringLiteral("/missing.gif")), quickSettings());
    EXPECT_EQ(result.errorText, QString());
    EXPECT_EQ(stored(result.fileName), QByteArray("<p>gone</p>"));
    EXPECT_TRUE(fetchMessageText(result).startsWith(
        QStringLiteral("WARNING: The server answered \"HTTP/1.0 404 Not Found\"")))
        << fetchMessageText(result).toStdString();
    EXPECT_TRUE(fetchMessageText(result).endsWith(result.header));
}

} // namespace
} // namespace ostrel::testing
