// SPDX-License-Identifier: Apache-2.0
#pragma once
// One web resource over a hand-built HTTP/1.0 request: the body, the raw
// response header, and a file name to store the body under. The subset of
// HTTP spoken is small on purpose: one GET, no redirects, no status check,
// no Content-Length; the body is everything after the first blank line until
// the server closes the connection.
//
// Blocking sockets with time-outs and one deadline for the whole fetch, no
// shared state besides FetchInProgress: the desktop program calls FetchURL on
// a worker thread so that its window stays responsive.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace ostrel {

// The parts of an address as FetchURL sends them.
struct ParsedAddress {
    QString host;
    QString portText = QStringLiteral("80");
    uint16_t port = 80;
    QString path;     // sent unchanged, query included
    QString fileName; // the last path segment with a dot, else empty (or "index.html")
};

// Cuts off the scheme (any scheme: everything is fetched over HTTP), splits
// host, port and path, and derives the file name; a path naming no file gets
// "/index.html" appended unless it holds a query.
ParsedAddress parseAddress(const QString& url);

// "GET <path>   HTTP/1.0" CR LF "Host: <host>" CR LF CR LF, with three spaces
// before "HTTP/1.0". Control characters in the path are percent-encoded so
// that an address cannot add lines of its own to the request.
QByteArray buildRequest(const ParsedAddress& address);

// Gives `fileName` the extension of the response's content type, when the
// content-type table lists the type and the name does not already carry one
// of its extensions: Untitled with image/gif becomes Untitled.gif, photo.php
// with image/jpeg becomes photo.jpg, pic.JPEG with image/jpeg stays.
void AdjustExtensionToContentType(QString& fileName, const QString& header);

// Splits a response into header and body as its bytes arrive: the header is
// every byte up to and including the first CR LF CR LF, each byte one
// character; the body is the rest.
class ResponseSplitter {
public:
    enum class Status { Fine, HeaderTooLarge, BodyTooLarge };

    ResponseSplitter(QString& header, QByteArray& body, qsizetype maxHeaderBytes, qint64 maxBodyBytes)
        : m_header(header), m_body(body), m_maxHeaderBytes(maxHeaderBytes), m_maxBodyBytes(maxBodyBytes)
    {
    }

    // Takes the next bytes of the response; stops at the first limit crossed.
    Status feed(const char* data, qsizetype size);
    bool inHeader() const { return m_inHeader; }

private:
    QString& m_header;
    QByteArray& m_body;
    qsizetype m_maxHeaderBytes;
    qint64 m_maxBodyBytes;
    bool m_inHeader = true;
};

// Lets another thread end a fetch at once: cancel() shuts the fetch's socket
// down, or wakes it from waiting for a name lookup, and the fetch ends with
// FetchError::Cancelled and stores nothing. It may be cancelled before the
// fetch starts; it is used for one fetch.
class FetchCancellation {
public:
    void cancel();
    bool cancelled() const;

    // For the fetch: `action` runs once cancel() is called (at once when it
    // already was), until it is replaced or cleared with an empty action.
    // It runs under the lock, so once this returns a cleared action runs no more.
    void onCancel(std::function<void()> action);

private:
    mutable std::mutex m_mutex;
    bool m_cancelled = false;
    std::function<void()> m_action;
};

struct FetchSettings {
    std::chrono::milliseconds lookupTimeout{15000};
    std::chrono::milliseconds connectTimeout{15000};
    // The longest wait for the next bytes (and for the request to be taken).
    std::chrono::milliseconds receiveTimeout{30000};
    // The whole fetch, however steadily the bytes arrive: a server that
    // trickles a byte now and then cannot keep it alive for hours.
    std::chrono::milliseconds totalTimeout{5 * 60 * 1000};
    qsizetype maxHeaderBytes = 64 * 1024;
    qint64 maxBodyBytes = qint64(1) << 30;
    // Set by a caller that may end the fetch from another thread.
    FetchCancellation* cancellation = nullptr;
};

// The error texts, in the order the checks run.
namespace FetchError {
inline const QString AlreadyInProgress = QStringLiteral("Fetch already in progress");
inline const QString NoBodyStream = QStringLiteral("No Body Stream");
inline const QString NoHost = QStringLiteral("No Host");
inline const QString NotPlainHttp = QStringLiteral("Only Plain HTTP Addresses Can Be Fetched");
inline const QString LookupTimedOut = QStringLiteral("Name Lookup Timed Out");
inline const QString ConnectTimedOut = QStringLiteral("Connection Timed Out");
inline const QString NoAnswer = QStringLiteral("No Answer From Server");
inline const QString ReceiveTimedOut = QStringLiteral("Server Stopped Sending");
inline const QString HeaderTooLarge = QStringLiteral("Response Header Too Large");
inline const QString BodyTooLarge = QStringLiteral("Response Body Too Large");
inline const QString NoConnection = QStringLiteral("No Connection");
inline const QString Cancelled = QStringLiteral("Fetch Cancelled");
inline const QString TimeLimitReached = QStringLiteral("Fetch Took Longer Than Its Time Limit");
inline const QString BodyCutShort = QStringLiteral("Connection Closed Before The Whole Body Arrived");
} // namespace FetchError

// Fetches `URL`. ErrorText is empty after a complete fetch: `Stream` then
// holds the whole body and FileName is final. Otherwise ErrorText says why,
// and nothing should be stored. FileName is derived from the address before
// connecting, so it may be set even when the fetch fails; Header holds what
// the server sent of its header, in both cases.
void FetchURL(const QString& URL, QString& FileName, QString& Header, QByteArray* Stream, QString& ErrorText,
              const FetchSettings& settings = {});

// True while a fetch runs anywhere in the process; a second one is refused.
bool FetchInProgress();

// What Open from Web hands to the desktop and command-line programs.
struct WebFetchResult {
    QString fileName;   // as stored: never empty, never outside the web folder
    QString targetPath; // the web folder followed by fileName
    QString header;
    QString errorText;  // empty: the body was stored at targetPath
    QString failureDetail; // the cause in the system's words, when there is one: why
                           // the server could not be found or reached, or why storing failed
};

// The core of Open from Web: fetches the address, names the file (an empty
// or unsafe name becomes "Untitled.dat") and stores the body in the web
// folder atomically, replacing an earlier file of that name.
WebFetchResult fetchToWebFolder(const QString& url, const FetchSettings& settings = {});

// For a stored fetch whose status is not a success (a 404 page, a redirect):
// a sentence naming the status line; empty otherwise.
QString fetchStatusWarning(const WebFetchResult& result);

// The text shown after a fetch: the header, or "ERROR: " with the error
// text, or "WARNING: " with the status warning, then a blank line and the
// header.
QString fetchMessageText(const WebFetchResult& result);

// "Fetch: " followed by the address.
QString fetchMessageTitle(const QString& url);

} // namespace ostrel
