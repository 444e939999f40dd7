#include "cli/Password.h"

#include "util/FileIO.h"
#include "util/Text.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace ostrel::cli {

namespace {

// Reads one line from the controlling terminal with echo switched off.
std::optional<QByteArray> promptWithoutEcho(const char* prompt)
{
    int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    termios saved{};
    bool haveTermios = ::tcgetattr(fd, &saved) == 0;
    if (haveTermios) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    if (::write(fd, prompt, std::strlen(prompt)) < 0) {
        // Nothing to do: the prompt is a courtesy.
    }
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.append(c);
    if (haveTermios)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    ::close(fd);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
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
    case PasswordSource::File: {
        std::optional<QByteArray> bytes = readWholeFile(request.file, &error);
        if (!bytes)
            return std::nullopt;
        return keyBytesOf(firstLine(*bytes));
    }
    case PasswordSource::Stdin: {
        std::string line;
        std::getline(std::cin, line);
        return keyBytesOf(firstLine(QByteArray::fromStdString(line)));
    }
    case PasswordSource::Terminal:
        break;
    }
    std::optional<QByteArray> first = promptWithoutEcho("Password: ");
    if (!first) {
        error = QStringLiteral("No terminal to ask for the password: use --password-file or --password-stdin.");
        return std::nullopt;
    }
    if (request.confirm) {
        std::optional<QByteArray> second = promptWithoutEcho("Password again: ");
        if (!second || *second != *first) {
            error = QStringLiteral("The two passwords differ.");
            return std::nullopt;
        }
    }
    return keyBytesOf(*first);
}

} // namespace ostrel::cli
