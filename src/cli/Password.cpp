// SPDX-License-Identifier: Apache-2.0
#include "cli/Password.h"

#include "engine/PasswordBytes.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <QFile>
#include <iterator>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace ostrel::cli {

namespace {

const QString kNoPasswordGiven = QStringLiteral("no password given");
const QString kEmptyPasswordHint = QStringLiteral("(--empty-password uses an empty password)");

// The terminal's settings while echo is off, for the signal handler.
int g_quietTerminal = -1;
termios g_savedTerminal{};

termios g_quietSettings{};

// Every signal whose default action ends the program (SIGKILL aside, which
// cannot be caught), and the ones that stop it.
constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGUSR1,   SIGUSR2, SIGALRM,
                                  SIGPIPE, SIGPOLL, SIGPROF, SIGVTALRM, SIGXCPU, SIGXFSZ, SIGSYS,
                                  SIGABRT, SIGBUS,  SIGFPE,  SIGILL,  SIGSEGV, SIGTRAP, SIGSTKFLT, SIGPWR};
constexpr int kStoppingSignals[] = {SIGTSTP};
constexpr size_t kHandledSignals = std::size(kEndingSignals) + std::size(kStoppingSignals);

// A signal at the prompt must not leave the user's terminal without echo:
// the settings come back, then the signal ends the program as it would have.
extern "C" void restoreTerminalAndEnd(int signalNumber)
{
    if (g_quietTerminal >= 0) {
        ::tcsetattr(g_quietTerminal, TCSANOW, &g_savedTerminal);
        if (::write(g_quietTerminal, "\n", 1) < 0) {
            // The line end only tidies the screen.
        }
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// Ctrl-Z at the prompt: echo comes back while the program is stopped, and
// goes off again when it continues at the prompt. The handler runs with
// SA_NODEFER, so the raised signal stops the program here and now.
extern "C" void restoreTerminalAndStop(int signalNumber)
{
    const int savedErrno = errno;
    struct sigaction own {};
    ::sigaction(signalNumber, nullptr, &own);
    if (g_quietTerminal >= 0)
        ::tcsetattr(g_quietTerminal, TCSANOW, &g_savedTerminal);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
    ::sigaction(signalNumber, &own, nullptr);
    if (g_quietTerminal >= 0)
        ::tcsetattr(g_quietTerminal, TCSANOW, &g_quietSettings);
    errno = savedErrno;
}

// Echo off for its lifetime, however the prompt ends.
class QuietTerminal {
public:
    explicit QuietTerminal(int fd) : m_fd(fd)
    {
        if (::tcgetattr(fd, &g_savedTerminal) != 0)
            return;
        m_active = true;
        g_quietTerminal = fd;
        g_quietSettings = g_savedTerminal;
        g_quietSettings.c_lflag &= ~tcflag_t(ECHO);
        g_quietSettings.c_lflag |= ECHONL;
        struct sigaction ending {};
        ending.sa_handler = restoreTerminalAndEnd;
        sigemptyset(&ending.sa_mask);
        size_t i = 0;
        for (int signalNumber : kEndingSignals)
            ::sigaction(signalNumber, &ending, &m_previous[i++]);
        struct sigaction stopping = ending;
        stopping.sa_handler = restoreTerminalAndStop;
        stopping.sa_flags = SA_NODEFER;
        for (int signalNumber : kStoppingSignals)
            ::sigaction(signalNumber, &stopping, &m_previous[i++]);
        ::tcsetattr(fd, TCSAFLUSH, &g_quietSettings);
    }
    ~QuietTerminal()
    {
        if (!m_active)
            return;
        ::tcsetattr(m_fd, TCSAFLUSH, &g_savedTerminal);
        g_quietTerminal = -1;
        size_t i = 0;
        for (int signalNumber : kEndingSignals)
            ::sigaction(signalNumber, &m_previous[i++], nullptr);
        for (int signalNumber : kStoppingSignals)
            ::sigaction(signalNumber, &m_previous[i++], nullptr);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    int m_fd;
    bool m_active = false;
    struct sigaction m_previous[kHandledSignals] {};
};

struct TypedLine {
    QByteArray text;
    bool ended = false;   // the input ended (Ctrl-D, end of file) before a line end
    bool tooLong = false; // more than kPasswordLimit bytes before the line end
    bool failed = false;  // a read error (errno set)
};

// Reads one line from `fd`, a byte at a time so that nothing after the line
// is taken from a terminal or a pipe, and never more than kPasswordLimit
// bytes: /dev/zero or an endless pipe is refused at once.
TypedLine readLine(int fd)
{
    TypedLine line;
    line.text.reserve(qsizetype(kPasswordLimit) + 1);
    char c = 0;
    for (;;) {
        const ssize_t count = ::read(fd, &c, 1);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            line.failed = true;
            break;
        }
        if (count == 0) {
            line.ended = true;
            break;
        }
        if (c == '\n')
            break;
        if (size_t(line.text.size()) == kPasswordLimit) {
            line.tooLong = true;
            break;
        }
        line.text.append(c);
    }
    c = 0;
    if (line.tooLong)
        wipeSecret(line.text);
    if (line.text.endsWith('\r'))
        line.text.chop(1);
    return line;
}

QString tooLongText(const QString& source)
{
    return QStringLiteral("The first line of %1 is not a password: password longer than %2 bytes.")
        .arg(source)
        .arg(kPasswordLimit);
}

// Reads one line from the controlling terminal with echo switched off;
// nothing when there is no terminal.
std::optional<TypedLine> promptWithoutEcho(const char* prompt)
{
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    TypedLine line;
    {
        QuietTerminal quiet(fd);
        if (::write(fd, prompt, std::strlen(prompt)) < 0) {
            // Nothing to do: the prompt is a courtesy.
        }
        line = readLine(fd);
    }
    ::close(fd);
    return line;
}

void tellTerminal(const char* text)
{
    const int fd = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::write(fd, text, std::strlen(text)) < 0) {
        // As above.
    }
    ::close(fd);
}

// Asks until something is typed; an empty answer is more likely a slip than
// a wish for no password at all.
std::optional<QByteArray> askNonEmpty(const char* prompt, QString& error)
{
    for (;;) {
        std::optional<TypedLine> line = promptWithoutEcho(prompt);
        if (!line) {
            error = QStringLiteral(
                "No terminal to ask for the password: use --password-file or --password-stdin.");
            return std::nullopt;
        }
        if (line->tooLong) {
            error = tooLongText(QStringLiteral("the terminal"));
            return std::nullopt;
        }
        if (!line->text.isEmpty())
            return std::move(line->text);
        if (line->ended || line->failed) {
            error = QStringLiteral("The terminal was closed: %1.").arg(kNoPasswordGiven);
            return std::nullopt;
        }
        tellTerminal("An empty password is not used; type one, or run again with --empty-password.\n");
    }
}

// The key bytes of what was typed; the typed copy is wiped.
QByteArray keyBytesOf(QByteArray& typed)
{
    QByteArray key = passwordKeyBytes(typed);
    wipeSecret(typed);
    return key;
}

// The first line of a password file or standard input; nothing with `error` set.
std::optional<QByteArray> readPasswordLine(int fd, const QString& source, QString& error)
{
    TypedLine line = readLine(fd);
    if (line.tooLong) {
        error = tooLongText(source);
        return std::nullopt;
    }
    if (line.failed && line.text.isEmpty()) {
        error = QStringLiteral("Cannot read %1: %2").arg(source, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    if (line.text.isEmpty()) {
        error = QStringLiteral("The first line of %1 is empty: %2 %3.").arg(source, kNoPasswordGiven, kEmptyPasswordHint);
        return std::nullopt;
    }
    return keyBytesOf(line.text);
}

} // namespace

std::optional<QByteArray> obtainPassword(const PasswordRequest& request, QString& error)
{
    switch (request.source) {
    case PasswordSource::Empty:
        return QByteArray();
    case PasswordSource::File: {
        const int fd = ::open(QFile::encodeName(request.file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = QStringLiteral("Cannot read %1: %2").arg(request.file, QString::fromLocal8Bit(std::strerror(errno)));
            return std::nullopt;
        }
        std::optional<QByteArray> password = readPasswordLine(fd, request.file, error);
        ::close(fd);
        return password;
    }
    case PasswordSource::Stdin:
        return readPasswordLine(STDIN_FILENO, QStringLiteral("the standard input"), error);
    case PasswordSource::Terminal:
        break;
    }
    std::optional<QByteArray> first = askNonEmpty("Password: ", error);
    if (!first)
        return std::nullopt;
    if (request.confirm) {
        std::optional<QByteArray> second = askNonEmpty("Password again: ", error);
        if (!second)
            return std::nullopt;
        const bool differ = *second != *first;
        wipeSecret(*second);
        if (differ) {
            wipeSecret(*first);
            error = QStringLiteral("The two passwords differ.");
            return std::nullopt;
        }
    }
    return keyBytesOf(*first);
}

} // namespace ostrel::cli
