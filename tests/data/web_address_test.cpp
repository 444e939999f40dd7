// SPDX-License-Identifier: Apache-2.0
// The parts of a fetch that need no server: address parsing, the request
// bytes, the header/body split and the content-type renames.
#include "data/WebUnit.h"
#include "imageio/text_printing.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(WebAddress, ParsesAsTheUserTypedIt)
{
    struct Case {
        const char* url;
        const char* host;
        uint16_t port;
        const char* path;
        const char* fileName;
    };
    const Case cases[] = {
        {"http://www.example.com/pics/cat.gif", "www.example.com", 80, "/pics/cat.gif", "cat.gif"},
        {"www.example.com", "www.example.com", 80, "//index.html", "index.html"},
        {"http://example.com/", "example.com", 80, "//index.html", "index.html"},
        {"http://example.com/dir", "example.com", 80, "/dir/index.html", "index.html"},
        {"http://example.com/dir/", "example.com", 80, "/dir//index.html", "index.html"},
        {"http://example.com/cgi/show?id=3", "example.com", 80, "/cgi/show?id=3", ""},
        {"http://example.com/a.php?x=1", "example.com", 80, "/a.php?x=1", "a.php"},
        {"http://example.com:8080/x.png", "example.com", 8080, "/x.png", "x.png"},
        {"http://example.com:abc/x.png", "example.com", 80, "/x.png", "x.png"},
        {"http://example.com:65617/x.png", "example.com", 81, "/x.png", "x.png"},
        {"ftp://files.example.com/a/b/c.zip", "files.example.com", 80, "/a/b/c.zip", "c.zip"},
        {"http://example.com/q?file=/x/y.gif", "example.com", 80, "/q?file=/x/y.gif", "y.gif"},
        {"", "", 80, "//index.html", "index.html"},
        {"http:///pics/x.gif", "", 80, "/pics/x.gif", "x.gif"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        const ParsedAddress address = parseAddress(QString::fromLatin1(c.url));
        EXPECT_EQ(address.host, QLatin1String(c.host));
        EXPECT_EQ(address.port, c.port);
        EXPECT_EQ(address.path, QLatin1String(c.path));
        EXPECT_EQ(address.fileName, QLatin1String(c.fileName));
    }
}

TEST(WebAddress, RequestHasThreeSpacesBeforeTheVersion)
{
    struct Case {
        const char* url;
        QByteArray request;
    };
    const Case cases[] = {
        {"http://www.example.com:8080/pics/cat.gif",
         "GET /pics/cat.gif   HTTP/1.0\r\nHost: www.example.com\r\n\r\n"},
        {"example.com", "GET //index.html   HTTP/1.0\r\nHost: example.com\r\n\r\n"},
        {"http://h/a b?q=1&r", "GET /a b?q=1&r   HTTP/1.0\r\nHost: h\r\n\r\n"},
        // An address cannot add header lines of its own.
        {"http://h/x.gif\r\nCookie: a", "GET /x.gif%0D%0ACookie: a   HTTP/1.0\r\nHost: h\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(buildRequest(parseAddress(QString::fromLatin1(c.url))), c.request);
    }
}

TEST(WebAddress, ExtensionFollowsTheContentType)
{
    struct Case {
        const char* fileName;
        const char* header;
        const char* expected;
    };
    const Case cases[] = {
        {"Untitled", "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n", "Untitled.gif"},
        {"photo.php", "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n", "photo.jpg"},
        {"pic.JPEG", "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n", "pic.JPEG"},
        {"a.php", "HTTP/1.0 200 OK\r\nContent-Type: image/gif; charset=x\r\n\r\n", "a.gif"},
        {"Untitled", "Content-Type: image/png\r\n\r\n", "Untitled.png"},
        {"x.TIF", "Content-Type: image/tiff\r\n\r\n", "x.TIF"},
        {"x.bin", "Content-Type: IMAGE/GIF\r\n\r\n", "x.gif"},
        {"x.bin", "Content-Type: Image/Gif\r\n\r\n", "x.bin"},
        {"x.bin", "Content-Type: Image/JPEG\r\n\r\n", "x.jpg"},
        {"doc", "Content-Type: application/pdf\r\n\r\n", "doc.pdf"},
        {"page.asp", "Content-Type: text/html; charset=utf-8\r\n\r\n", "page.html"},
        {"notes", "Content-Type: text/plain\r\n\r\n", "notes.txt"},
        {"main.c", "Content-Type: text/plain\r\n\r\n", "main.c"},
        {"style.x", "Content-Type: text/css\r\n\r\n", "style.x"},
        {"x.bin", "Content-Type: application/octet-stream\r\n\r\n", "x.bin"},
        {"x.bin", "HTTP/1.0 200 OK\r\n\r\n", "x.bin"},
        // Lower-case header names, as many servers send them.
        {"Untitled", "HTTP/1.0 200 OK\r\ncontent-type: image/bmp\r\n\r\n", "Untitled.bmp"},
        {"Untitled", "HTTP/1.0 200 OK\r\nContent-type: image/png\r\n\r\n", "Untitled.png"},
        // A whole media type only: a Java archive is not Java source.
        {"lib.jar", "Content-Type: application/java-archive\r\n\r\n", "lib.jar"},
        {"Main", "Content-Type: application/java\r\n\r\n", "Main.java"},
        // Only the content type's own line counts.
        {"data", "Content-Type: text/plain\r\nX-Thumbnail: image/gif\r\n\r\n", "data.txt"},
        {"a.b.c", "Content-Type: video/mpeg\r\n\r\n", "a.b.mpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        QString name = QString::fromLatin1(c.fileName);
        AdjustExtensionToContentType(name, QString::fromLatin1(c.header));
        EXPECT_EQ(name, QLatin1String(c.expected));
    }
}

// The header ends with the first blank line wherever the chunks break; the
// rest is body, byte for byte.
TEST(WebResponse, SplitsHeaderAndBodyAcrossChunks)
{
    static const char kResponse[] = "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\nGIF89a\r\n\r\n\x00\xFF";
    const QByteArray response(kResponse, sizeof kResponse - 1);
    const qsizetype headerSize = response.indexOf("\r\n\r\n") + 4;
    for (qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(7), response.size()}) {
        SCOPED_TRACE(chunk);
        QString header;
        QByteArray body;
        ResponseSplitter splitter(header, body, 1 << 16, 1 << 20);
        for (qsizetype at = 0; at < response.size(); at += chunk)
            ASSERT_EQ(splitter.feed(response.constData() + at, std::min(chunk, response.size() - at)),
                      ResponseSplitter::Status::Fine);
        EXPECT_FALSE(splitter.inHeader());
        EXPECT_EQ(header, QString::fromLatin1(response.left(headerSize)));
        EXPECT_EQ(body, response.mid(headerSize));
    }
}

TEST(WebResponse, LimitsAndUnendedHeaders)
{
    struct Case {
        const char* what;
        QByteArray response;
        qsizetype maxHeader;
        qint64 maxBody;
        ResponseSplitter::Status status;
        bool inHeader;
    };
    const Case cases[] = {
        {"header never ends", "HTTP/1.0 200 OK\r\nX: y\r\n", 64, 64, ResponseSplitter::Status::Fine, true},
        {"header exactly at its limit", "HTTP/1.0 200\r\n\r\n", 16, 0, ResponseSplitter::Status::Fine, false},
        {"header over its limit", "HTTP/1.0 200 OK\r\n\r\n", 16, 64, ResponseSplitter::Status::HeaderTooLarge, true},
        {"body exactly at its limit", "H\r\n\r\n12345", 64, 5, ResponseSplitter::Status::Fine, false},
        {"body over its limit", "H\r\n\r\n123456", 64, 5, ResponseSplitter::Status::BodyTooLarge, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString header;
        QByteArray body;
        ResponseSplitter splitter(header, body, c.maxHeader, c.maxBody);
        EXPECT_EQ(splitter.feed(c.response.constData(), c.response.size()), c.status);
        EXPECT_EQ(splitter.inHeader(), c.inHeader);
        EXPECT_LE(header.size(), c.maxHeader);
        EXPECT_LE(body.size(), c.maxBody);
    }
}

// Every byte of a header is one character, as the Windows code page maps it.
TEST(WebResponse, HeaderBytesAreWindows1252Characters)
{
    QString header;
    QByteArray body;
    ResponseSplitter splitter(header, body, 100, 100);
    splitter.feed("X: \x80\xE9\x00\r\n\r\n", 10);
    EXPECT_EQ(header, QStringLiteral(u"X: €é") + QChar(0) + QStringLiteral("\r\n\r\n"));
}

} // namespace
} // namespace ostrel
