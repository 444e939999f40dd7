// SPDX-License-Identifier: Apache-2.0
#include "data/WebUnit.h"

#include "data/TempPathUnit.h"
#include "util/FileIO.h"
#include "util/Text.h"

#include <QStringList>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrel {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::atomic<bool> g_fetchInProgress{false};

constexpr qsizetype kReceiveBufferSize = 8192;
const QString kUntitledStoredName = QStringLiteral("Untitled.dat");
const QString kUndeterminedError = QStringLiteral("Undetermined Error");
// Longest file name most Linux file systems accept, in bytes.
constexpr qsizetype kMaxFileNameBytes = 255;

struct ContentTypeRow {
    const char* mediaType;
    const char* extensions; // space-separated, without dots; may be empty
};

// Searched in this order; the first matching row wins.
constexpr std::array<ContentTypeRow, 45> ContentTypeTable = {{
    {"application/excel", "xls cvs"},
    {"application/fdf", "fdf"},
    {"application/java", "java"},
    {"application/java-archive", ""},
    {"application/MAC-BINHEX40", "MAC-BINHEX40 BINHEX hqx"},
    {"application/msword", "doc"},
    {"application/PDF", "pdf"},
    {"application/pdf", "pdf"},
    {"application/postscript", "ai eps ps"},
    {"application/rtf", "rtf"},
    {"application/text", "xls"},
    {"application/wml+xml", ""},
    {"application/wordperfect", "wpd wp"},
    {"application/xhtml+xml", ""},
    {"application/x-java-archive", ""},
    {"application/x-msdos-program", "exe"},
    {"application/x-tex", "tex"},
    {"application/x-texinfo", "texinfo texi"},
    {"application/x-troff", "t tr roff"},
    {"application/zip", "zip"},
    {"audio/amr", ""},
    {"audio/basic", "au snd"},
    {"audio/midi", "midi"},
    {"audio/sp-midi", ""},
    {"audio/x-aiff", "aif aiff aifc"},
    {"audio/x-midi", ""},
    {"audio/x-wav", "wav"},
    {"image/bmp", "bmp"},
    {"image/gif", "gif"},
    {"image/ief", "ief"},
    {"image/jpeg", "jpg jpeg jpe"},
    {"Image/JPEG", "jpg jpeg jpe"},
    {"image/jpg", "jpg jpeg jpe"},
    {"image/png", "png"},
    {"image/tiff", "tiff tif"},
    {"image/x-xwindowdump", "xwd"},
    {"text/css", ""},
    {"text/html", "html htm"},
    {"text/plain", "txt c cc h text ascii"},
    {"text/richtext", "rtf"},
    {"text/x-html", ""},
    {"video/mpeg", "mpg mpeg mpe"},
    {"video/quicktime", "mov qt"},
    {"video/x-msvideo", "avi"},
    {"video/x-sgi-movie", "movie"},
}};

// A character that may be part of a media type: letters, digits and the
// punctuation HTTP allows in tokens, plus the slash between type and subtype.
bool isMediaTypeChar(QChar ch)
{
    if (ch.unicode() >= 0x80)
        return false;
    return ch.isLetterOrNumber() || QStringLiteral("!#$%&'*+-.^_`|~/").contains(ch);
}

// True when `type` appears in `text` as a whole media type, so that
// application/java does not claim application/java-archive.
bool containsMediaType(const QString& text, const QString& type)
{
    for (qsizetype at = text.indexOf(type); at >= 0; at = text.indexOf(type, at + 1)) {
        const qsizetype after = at + type.size();
        const bool startsClean = at == 0 || !isMediaTypeChar(text.at(at - 1));
        const bool endsClean = after == text.size() || !isMediaTypeChar(text.at(after));
        if (startsClean && endsClean)
            return true;
    }
    return false;
}

// The content type's value line when the header has one; otherwise the whole
// header, where a type may still be found. Only that line is searched, so a
// later header line naming another type cannot win.
QString contentTypeSearchText(const QString& header)
{
    static const QString kName = QStringLiteral("Content-Type:");
    qsizetype at = header.indexOf(kName);
    if (at < 0)
        at = header.indexOf(kName, 0, Qt::CaseInsensitive);
    if (at < 0)
        return header;
    const qsizetype valueStart = at + kName.size();
    const qsizetype lineEnd = header.indexOf(u'\n', valueStart);
    return header.mid(valueStart, lineEnd < 0 ? -1 : lineEnd - valueStart);
}

// The value of the header line `name` (at the start of a line, any case),
// trimmed; empty when there is none.
QString headerField(const QString& header, const QString& name)
{
    for (const QString& line : header.split(QStringLiteral("\r\n")))
        if (line.startsWith(name + QLatin1Char(':'), Qt::CaseInsensitive))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

// A body shorter than the server said it would be lost data on the way: the
// connection ended early, and what came is not the resource.
QString bodyCutShort(const QString& header, qsizetype received)
{
    bool ok = false;
    const qlonglong announced = headerField(header, QStringLiteral("Content-Length")).toLongLong(&ok);
    if (!ok || announced <= received)
        return {};
    return FetchError::BodyCutShort + QStringLiteral(" (%1 of %2 bytes arrived)").arg(received).arg(announced);
}

QByteArray percentEncodeControls(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    QByteArray out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto byte = uint8_t(ch);
        if (byte < 0x20 || byte == 0x7F)
            out.append('%').append(QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'));
        else
            out.append(ch);
    }
    return out;
}

// Clears the in-progress flag however the fetch ends.
struct FetchGuard {
    ~FetchGuard() { g_fetchInProgress.store(false); }
};

// The fetch's socket. While it is open, a cancellation shuts it down, which
// wakes every wait on it; it is never closed while a cancel may still use it,
// and once cancelled it takes no new connection.
class Socket {
public:
    explicit Socket(FetchCancellation* cancellation = nullptr) : m_cancellation(cancellation) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { reset(); }
    void reset(int fd = -1)
    {
        if (m_cancellation)
            m_cancellation->onCancel({});
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_cancellation && fd >= 0 && m_cancellation->cancelled()) {
            ::close(fd);
            fd = -1;
        }
        m_fd = fd;
        if (m_cancellation && fd >= 0)
            m_cancellation->onCancel([fd] { ::shutdown(fd, SHUT_RDWR); });
    }
    int fd() const { return m_fd; }

private:
    FetchCancellation* m_cancellation;
    int m_fd = -1;
};

using AddressList = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

// Runs an action on cancellation for as long as it lives.
class WakeOnCancel {
public:
    WakeOnCancel(FetchCancellation* cancellation, std::function<void()> action) : m_cancellation(cancellation)
    {
        if (m_cancellation)
            m_cancellation->onCancel(std::move(action));
    }
    ~WakeOnCancel()
    {
        if (m_cancellation)
            m_cancellation->onCancel({});
    }
    WakeOnCancel(const WakeOnCancel&) = delete;
    WakeOnCancel& operator=(const WakeOnCancel&) = delete;

private:
    FetchCancellation* m_cancellation;
};

// Name lookup cannot be interrupted, so a slow one runs on its own thread and
// is abandoned (its result freed when it ends) once the time is up.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    bool cancelled = false;
    int status = 0;
    addrinfo* list = nullptr;
};

enum class Outcome { Fine, TimedOut, Failed };

addrinfo streamHints(int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    return hints;
}

// The resolver's words for a failed lookup.
QString lookupFailureReason(int status)
{
    if (status == EAI_SYSTEM)
        return systemReason(errno);
    return QString::fromLocal8Bit(gai_strerror(status));
}

Outcome lookUp(const QString& host, uint16_t port, milliseconds timeout, FetchCancellation* cancellation,
               AddressList& result, QString& cause)
{
    const std::string name = host.toStdString();
    const std::string service = std::to_string(port);
    const addrinfo hints = streamHints(AI_NUMERICHOST | AI_NUMERICSERV);
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), service.c_str(), &hints, &list) == 0) {
        result.reset(list);
        return Outcome::Fine;
    }

    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name, service] {
        const addrinfo hints = streamHints(AI_NUMERICSERV);
        addrinfo* found = nullptr;
        const int status = getaddrinfo(name.c_str(), service.c_str(), &hints, &found);
        std::lock_guard lock(lookup->mutex);
        if (lookup->abandoned) {
            if (status == 0)
                freeaddrinfo(found);
            return;
        }
        lookup->status = status;
        lookup->list = status == 0 ? found : nullptr;
        lookup->finished = true;
        lookup->done.notify_one();
    }).detach();

    WakeOnCancel wake(cancellation, [lookup] {
        std::lock_guard lock(lookup->mutex);
        lookup->cancelled = true;
        lookup->done.notify_one();
    });
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, timeout, [&] { return lookup->finished || lookup->cancelled; })) {
        lookup->abandoned = true;
        return Outcome::TimedOut;
    }
    if (!lookup->finished) {
        lookup->abandoned = true;
        return Outcome::Failed;
    }
    if (lookup->status != 0) {
        cause = QStringLiteral("cannot find the server %1: %2").arg(host, lookupFailureReason(lookup->status));
        return Outcome::Failed;
    }
    result.reset(lookup->list);
    return Outcome::Fine;
}

// The time a step may take: its own limit, or what is left of the whole
// fetch's when that ends first; running out then is the fetch's time-out.
struct StepTime {
    milliseconds wait;
    bool wholeFetchEndsFirst;
    QString timedOut(const QString& stepError) const
    {
        return wholeFetchEndsFirst ? FetchError::TimeLimitReached : stepError;
    }
};

StepTime within(milliseconds step, Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left < step)
        return {std::max(milliseconds(0), left), true};
    return {step, false};
}

// Waits for the socket to become ready; false when the time runs out.
Outcome waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Outcome::TimedOut;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(std::min<long long>(left, 1 << 30)));
        if (ready > 0)
            return Outcome::Fine;
        if (ready == 0)
            return Outcome::TimedOut;
        if (errno != EINTR)
            return Outcome::Failed;
    }
}

// `errorNumber` says why a failed connection failed.
Outcome connectTo(const addrinfo* address, Clock::time_point deadline, Socket& socket, int& errorNumber)
{
    socket.reset(::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address->ai_protocol));
    errorNumber = errno;
    if (socket.fd() < 0)
        return Outcome::Failed;
    if (::connect(socket.fd(), address->ai_addr, address->ai_addrlen) == 0)
        return Outcome::Fine;
    errorNumber = errno;
    if (errno != EINPROGRESS)
        return Outcome::Failed;
    const Outcome waited = waitFor(socket.fd(), POLLOUT, deadline);
    if (waited != Outcome::Fine)
        return waited;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    errorNumber = error;
    return error == 0 ? Outcome::Fine : Outcome::Failed;
}

// Tries each address in turn within one time limit.
Outcome connectToAny(const addrinfo* list, milliseconds timeout, Socket& socket, int& errorNumber)
{
    const Clock::time_point deadline = Clock::now() + timeout;
    Outcome last = Outcome::Failed;
    errorNumber = EHOSTUNREACH;
    for (const addrinfo* address = list; address; address = address->ai_next) {
        last = connectTo(address, deadline, socket, errorNumber);
        if (last != Outcome::Failed)
            return last;
    }
    return last;
}

// The whole request, however many send calls it takes. Fine, TimedOut (the
// server would not take it: no answer) or Failed (the connection broke).
Outcome sendAll(int fd, const QByteArray& request, milliseconds timeout)
{
    qsizetype sent = 0;
    while (sent < request.size()) {
        const Outcome waited = waitFor(fd, POLLOUT, Clock::now() + timeout);
        if (waited != Outcome::Fine)
            return waited;
        const ssize_t count = ::send(fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (count == 0)
            return Outcome::TimedOut;
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return Outcome::Failed;
        }
        sent += count;
    }
    return Outcome::Fine;
}

// Receives until the server closes the connection; the error text, or empty.
QString receiveAll(int fd, ResponseSplitter& splitter, const FetchSettings& settings, Clock::time_point deadline)
{
    char buffer[kReceiveBufferSize];
    for (;;) {
        const StepTime step = within(settings.receiveTimeout, deadline);
        const Outcome waited = waitFor(fd, POLLIN, Clock::now() + step.wait);
        if (waited == Outcome::TimedOut)
            return step.timedOut(FetchError::ReceiveTimedOut);
        if (waited == Outcome::Failed)
            return FetchError::NoConnection;
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count == 0)
            return {};
        if (count < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            return FetchError::NoConnection;
        }
        switch (splitter.feed(buffer, qsizetype(count))) {
        case ResponseSplitter::Status::Fine: break;
        case ResponseSplitter::Status::HeaderTooLarge: return FetchError::HeaderTooLarge;
        case ResponseSplitter::Status::BodyTooLarge: return FetchError::BodyTooLarge;
        }
    }
}

// The error text of the connection phase, or empty once the request is sent.
QString openAndSend(const ParsedAddress& address, const FetchSettings& settings, Clock::time_point deadline,
                    Socket& socket, QString& cause)
{
    AddressList list(nullptr, freeaddrinfo);
    const StepTime lookupTime = within(settings.lookupTimeout, deadline);
    switch (lookUp(address.host, address.port, lookupTime.wait, settings.cancellation, list, cause)) {
    case Outcome::Fine: break;
    case Outcome::TimedOut: return lookupTime.timedOut(FetchError::LookupTimedOut);
    case Outcome::Failed: return FetchError::NoConnection;
    }
    const StepTime connectTime = within(settings.connectTimeout, deadline);
    int connectError = 0;
    switch (connectToAny(list.get(), connectTime.wait, socket, connectError)) {
    case Outcome::Fine: break;
    case Outcome::TimedOut: return connectTime.timedOut(FetchError::ConnectTimedOut);
    case Outcome::Failed:
        cause = QStringLiteral("cannot connect to %1 port %2: %3")
                    .arg(address.host)
                    .arg(address.port)
                    .arg(systemReason(connectError));
        return FetchError::NoConnection;
    }
    const StepTime sendTime = within(settings.receiveTimeout, deadline);
    switch (sendAll(socket.fd(), buildRequest(address), sendTime.wait)) {
    case Outcome::Fine: return {};
    case Outcome::TimedOut: return sendTime.timedOut(FetchError::NoAnswer);
    case Outcome::Failed: return FetchError::NoConnection;
    }
    return FetchError::NoConnection;
}

bool isSafeStoredName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.toUtf8().size() > kMaxFileNameBytes)
        return false;
    for (QChar ch : name)
        if (ch == u'/' || ch == u'\\' || ch.category() == QChar::Other_Control)
            return false;
    return true;
}

} // namespace

ParsedAddress parseAddress(const QString& url)
{
    ParsedAddress address;
    QString rest = url;
    const qsizetype schemeEnd = rest.indexOf(QStringLiteral("//"));
    if (schemeEnd >= 0)
        rest = rest.mid(schemeEnd + 2);
    if (!rest.contains(u'/'))
        rest.append(u'/');
    const qsizetype slash = rest.indexOf(u'/');
    address.host = rest.left(slash);
    address.path = rest.mid(slash);
    const qsizetype colon = address.host.indexOf(u':');
    if (colon >= 0) {
        address.portText = address.host.mid(colon + 1);
        address.host.truncate(colon);
    }

    QString name = address.path.mid(address.path.lastIndexOf(u'/') + 1);
    const qsizetype query = name.indexOf(u'?');
    if (query >= 0)
        name.truncate(query);
    if (!name.contains(u'.'))
        name.clear();
    if (name.isEmpty() && !address.path.contains(u'?')) {
        address.path.append(QStringLiteral("/index.html"));
        name = QStringLiteral("index.html");
    }
    address.fileName = name;

    bool ok = false;
    const int port = address.portText.toInt(&ok);
    if (!ok) {
        address.portText = QStringLiteral("80");
        address.port = 80;
    } else {
        address.port = uint16_t(port);
    }
    return address;
}

QByteArray buildRequest(const ParsedAddress& address)
{
    return QByteArrayLiteral("GET ") + percentEncodeControls(address.path) + QByteArrayLiteral("   HTTP/1.0\r\n") +
           QByteArrayLiteral("Host: ") + percentEncodeControls(address.host) + QByteArrayLiteral("\r\n\r\n");
}

void AdjustExtensionToContentType(QString& fileName, const QString& header)
{
    const QString text = contentTypeSearchText(header);
    const ContentTypeRow* match = nullptr;
    for (const ContentTypeRow& row : ContentTypeTable) {
        const QString type = QLatin1String(row.mediaType);
        if (containsMediaType(text, type) || containsMediaType(text, type.toUpper())) {
            match = &row;
            break;
        }
    }
    if (!match)
        return;
    const QStringList extensions = QString::fromLatin1(match->extensions).split(u' ', Qt::SkipEmptyParts);
    if (extensions.isEmpty())
        return;
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString current = dot < 0 ? QString() : fileName.mid(dot).toUpper();
    for (const QString& extension : extensions)
        if (current == QLatin1Char('.') + extension.toUpper())
            return;
    if (dot >= 0)
        fileName.truncate(dot);
    fileName += QLatin1Char('.') + extensions.front();
}

ResponseSplitter::Status ResponseSplitter::feed(const char* data, qsizetype size)
{
    static const QString kHeaderEnd = QStringLiteral("\r\n\r\n");
    qsizetype used = 0;
    while (m_inHeader && used < size) {
        if (m_header.size() >= m_maxHeaderBytes)
            return Status::HeaderTooLarge;
        m_header.append(QChar(windows1252Char(uint8_t(data[used++]))));
        if (m_header.endsWith(kHeaderEnd))
            m_inHeader = false;
    }
    const qsizetype rest = size - used;
    if (rest == 0)
        return Status::Fine;
    if (qint64(m_body.size()) + rest > m_maxBodyBytes)
        return Status::BodyTooLarge;
    m_body.append(data + used, rest);
    return Status::Fine;
}

void FetchCancellation::cancel()
{
    std::lock_guard lock(m_mutex);
    if (m_cancelled)
        return;
    m_cancelled = true;
    if (m_action)
        m_action();
}

bool FetchCancellation::cancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

void FetchCancellation::onCancel(std::function<void()> action)
{
    std::lock_guard lock(m_mutex);
    m_action = std::move(action);
    if (m_cancelled && m_action)
        m_action();
}

bool FetchInProgress()
{
    return g_fetchInProgress.load();
}

namespace {

// Addresses of other schemes would be fetched over plain HTTP from their
// port 80, which is neither what was asked nor safe to pretend.
bool isPlainHttpAddress(const QString& url)
{
    const qsizetype schemeEnd = url.indexOf(QStringLiteral("://"));
    return schemeEnd < 0 || url.left(schemeEnd).compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
}

// FetchURL, with the system's words for why the connection failed in `cause`.
void fetchWithCause(const QString& URL, QString& FileName, QString& Header, QByteArray* Stream, QString& ErrorText,
                    QString& cause, const FetchSettings& settings)
{
    ErrorText.clear();
    cause.clear();
    bool idle = false;
    if (!g_fetchInProgress.compare_exchange_strong(idle, true)) {
        ErrorText = FetchError::AlreadyInProgress;
        return;
    }
    FetchGuard guard;

    const ParsedAddress address = parseAddress(URL);
    FileName = address.fileName;
    if (!Stream) {
        ErrorText = FetchError::NoBodyStream;
        return;
    }
    if (address.host.isEmpty()) {
        ErrorText = FetchError::NoHost;
        return;
    }
    if (!isPlainHttpAddress(URL)) {
        ErrorText = FetchError::NotPlainHttp;
        cause = QStringLiteral("only plain http:// addresses are fetched; %1 is not one").arg(URL.section(QStringLiteral("://"), 0, 0) + QStringLiteral("://"));
        return;
    }

    Stream->clear();
    Header.clear();
    const Clock::time_point deadline = Clock::now() + settings.totalTimeout;
    Socket socket(settings.cancellation);
    ErrorText = openAndSend(address, settings, deadline, socket, cause);
    if (ErrorText.isEmpty()) {
        ResponseSplitter splitter(Header, *Stream, settings.maxHeaderBytes, settings.maxBodyBytes);
        ErrorText = receiveAll(socket.fd(), splitter, settings, deadline);
    }
    // A shut-down socket reads as the server's orderly end, or fails.
    if (settings.cancellation && settings.cancellation->cancelled())
        ErrorText = FetchError::Cancelled;
    if (ErrorText.isEmpty())
        ErrorText = bodyCutShort(Header, Stream->size());
    if (!ErrorText.isEmpty())
        return;
    if (FileName.isEmpty())
        FileName = Header.contains(QStringLiteral("text/html")) ? QStringLiteral("index.html")
                                                                : QStringLiteral("Untitled");
    AdjustExtensionToContentType(FileName, Header);
}

} // namespace

void FetchURL(const QString& URL, QString& FileName, QString& Header, QByteArray* Stream, QString& ErrorText,
              const FetchSettings& settings)
{
    QString cause;
    fetchWithCause(URL, FileName, Header, Stream, ErrorText, cause, settings);
}

namespace {

// Stores a fetched body in the web folder, which must exist and still be
// this user's own. (Outcome alone names the socket waits' enum here.)
ostrel::Outcome storeInWebFolder(const QString& targetPath, const QByteArray& body)
{
    if (!dataFolderCanStore(DataFolder::Web))
        return fail(dataFoldersProblem().isEmpty() ? QStringLiteral("There is no web folder to store the file in.")
                                                   : dataFoldersProblem());
    if (const ostrel::Outcome mine = dataFoldersStillPrivate(); !mine)
        return mine;
    return writeFileAtomically(targetPath, body, FileAccess::Private);
}

} // namespace

WebFetchResult fetchToWebFolder(const QString& url, const FetchSettings& settings)
{
    WebFetchResult result;
    QByteArray body;
    fetchWithCause(url, result.fileName, result.header, &body, result.errorText, result.failureDetail, settings);
    if (!isSafeStoredName(result.fileName))
        result.fileName = kUntitledStoredName;
    const QString folder = webFolder();
    result.targetPath = folder + result.fileName;
    if (!result.errorText.isEmpty())
        return result;

    const ostrel::Outcome stored = storeInWebFolder(result.targetPath, body);
    if (stored)
        return result;
    const QString failure = stored.error();
    // As when storing throws: nothing of the fetch is offered any more.
    result.errorText = kUndeterminedError;
    result.failureDetail = failure;
    result.fileName.clear();
    result.targetPath.clear();
    result.header.clear();
    return result;
}

QString fetchStatusWarning(const WebFetchResult& result)
{
    if (!result.errorText.isEmpty())
        return {};
    const QString statusLine = result.header.section(QStringLiteral("\r\n"), 0, 0).trimmed();
    const int status = statusLine.section(QLatin1Char(' '), 1, 1).toInt();
    if (status >= 200 && status < 300)
        return {};
    return QStringLiteral("The server answered \"%1\": what it sent was stored, and it may not be what was asked for.")
        .arg(statusLine);
}

QString fetchMessageText(const WebFetchResult& result)
{
    if (const QString warning = fetchStatusWarning(result); !warning.isEmpty())
        return QStringLiteral("WARNING: ") + warning + QStringLiteral("\r\n\r\n") + result.header;
    if (result.errorText.isEmpty())
        return result.header;
    return QStringLiteral("ERROR: ") + result.errorText + QStringLiteral("\r\n\r\n") + result.header;
}

QString fetchMessageTitle(const QString& url)
{
    return QStringLiteral("Fetch: ") + url;
}

} // namespace ostrel
