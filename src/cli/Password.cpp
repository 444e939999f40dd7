#include "cli/Password.h"

#include "util/FileIO.h"
#include "util/Text.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
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

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Ctrl-C at the prompt must not leave the user's terminal without echo: the
// settings come back, then the signal ends the program as it would have.
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

// Echo off for its lifetime, however the prompt ends.
class QuietTerminal {
public:
    explicit QuietTerminal(int fd) : m_fd(fd)
    {
        if (::tcgetattr(fd, &g_savedTerminal) != 0)
            return;
        m_active = true;
        g_quietTerminal = fd;
        struct sigaction action {};
        action.sa_handler = restoreTerminalAndEnd;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            ::sigaction(kEndingSignals[i], &action, &m_previous[i]);
        termios quiet = g_savedTerminal;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ~QuietTerminal()
    {
        if (!m_active)
            return;
        ::tcsetattr(m_fd, TCSAFLUSH, &g_savedTerminal);
        g_quietTerminal = -1;
        for (size_t i = 0; i < std::size(kEndingSignals); ++i)
            ::sigaction(kEndingSignals[i], &m_previous[i], nullptr);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    int m_fd;
    bool m_active = false;
    struct sigaction m_previous[std::size(kEndingSignals)] {};
};

struct TypedLine {
    QByteArray text;
    bool ended = false; // the terminal was closed (Ctrl-D) before a line end
};

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
        char c = 0;
        for (;;) {
            const ssize_t count = ::read(fd, &c, 1);
            if (count < 0 && errno == EINTR)
                continue;
            if (count != 1) {
                line.ended = true;
                break;
            }
            if (c == '\n')
                break;
            line.text.append(c);
        }
    }
    ::close(fd);
    if (line.text.endsWith('\r'))
        line.text.chop(1);
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
        if (!line->text.isEmpty())
            return line->text;
        if (line->ended) {
            error = QStringLiteral("The terminal was closed: %1.").arg(kNoPasswordGiven);
            return std::nullopt;
        }
        tellTerminal("An empty password is not used; type one, or run again with --empty-password.\n");
    }
}

QByteArray keyBytesOf(const QByteArray& typed)
{
    return toAnsiBytes(QString::fromUtf8(typed));
}

} // namespace

QByteArray firstLine(const QByteArray& bytes)
{
    qsizetype end = bytes.indexOf('\n');
    QByteArray line = end < 0 ? bytes : bytes.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<QByteArray> obtainPassword(const PasswordRequest& request, QString& error)
{
    switch (request.source) {
    case PasswordSource::Empty:
        return QByteArray();
    case PasswordSource::File: {
        std::optional<QByteArray> bytes = readWholeFile(request.file, &error);
        if (!bytes)
            return std::nullopt;
        const QByteArray line = firstLine(*bytes);
        if (line.isEmpty()) {
            error = QStringLiteral("The first line of %1 is empty: %2 %3.")
                        .arg(request.file, kNoPasswordGiven, kEmptyPasswordHint);
            return std::nullopt;
        }
        return keyBytesOf(line);
    }
    case PasswordSource::Stdin: {
        std::string text;
        std::getline(std::cin, text);
        const QByteArray line = firstLine(QByteArray::fromStdString(text));
        if (line.isEmpty()) {
            error = QStringLiteral("The standard input's first line is empty: %1 %2.")
                        .arg(kNoPasswordGiven, kEmptyPasswordHint);
            return std::nullopt;
        }
        return keyBytesOf(line);
    }
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
        if (*second != *first) {
            error = QStringLiteral("The two passwords differ.");
            return std::nullopt;
        }
    }
    return keyBytesOf(*first);
}

} // namespace ostrel::cli
