// SPDX-License-Identifier: Apache-2.0
#pragma once
// A one-connection HTTP server of our own on 127.0.0.1, run on a thread, that
// behaves as the test tells it: answers, says nothing, stalls, trickles an
// endless body or resets. Every wait is bounded, so a broken fetch cannot
// hang the test.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrel::testing {

// A listening socket on 127.0.0.1 and a port the system chose.
inline int listenOnLoopback(uint16_t& port, int backlog = 4)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// A port on 127.0.0.1 where nothing listens (for a moment at least).
inline uint16_t unusedLoopbackPort()
{
    uint16_t port = 0;
    const int fd = listenOnLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// True when the socket has bytes (or an end) to read within `wait`.
inline bool readable(int fd, std::chrono::milliseconds wait)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, int(wait.count())) > 0;
}

class LoopbackServer {
public:
    // What the server does once it has read the request; `client` is the
    // connected socket, closed afterwards by the server.
    using Behaviour = std::function<void(LoopbackServer& server, int client)>;

    explicit LoopbackServer(Behaviour behaviour) : m_behaviour(std::move(behaviour))
    {
        m_listener = listenOnLoopback(m_port);
        if (m_listener >= 0)
            m_thread = std::thread([this] { serve(); });
    }

    ~LoopbackServer()
    {
        m_stopping = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            ::close(m_listener);
    }

    bool listening() const { return m_listener >= 0; }
    uint16_t port() const { return m_port; }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

    // The request bytes as received, once the client has sent them.
    QByteArray request()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_requestRead; });
        return m_request;
    }

    bool stopping() const { return m_stopping; }

    // Sends everything, or stops when the client has gone.
    static bool sendAll(int client, const QByteArray& bytes)
    {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t count = ::send(client, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (count <= 0)
                return false;
            sent += count;
        }
        return true;
    }

    // Waits (at most `limit`) until the client closes its end or the test ends.
    void waitForClientToLeave(int client, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        char byte;
        while (!m_stopping && std::chrono::steady_clock::now() < end)
            if (readable(client, std::chrono::milliseconds(50)) && ::recv(client, &byte, 1, 0) <= 0)
                return;
    }

private:
    void serve()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!m_stopping && std::chrono::steady_clock::now() < end) {
            if (!readable(m_listener, std::chrono::milliseconds(50)))
                continue;
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            readRequest(client);
            m_behaviour(*this, client);
            ::close(client);
            return;
        }
    }

    // Reads up to the blank line that ends the request (so that closing
    // afterwards is an orderly end, not a reset for unread bytes).
    void readRequest(int client)
    {
        QByteArray request;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buffer[1024];
        while (!request.contains("\r\n\r\n") && std::chrono::steady_clock::now() < end) {
            if (!readable(client, std::chrono::milliseconds(50)))
                continue;
            const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            request.append(buffer, count);
        }
        std::lock_guard lock(m_mutex);
        m_request = request;
        m_requestRead = true;
        m_changed.notify_all();
    }

    Behaviour m_behaviour;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QByteArray m_request;
    bool m_requestRead = false;
    std::thread m_thread;
};

// Behaviours.

inline LoopbackServer::Behaviour answer(const QByteArray& response)
{
    return [response](LoopbackServer&, int client) { LoopbackServer::sendAll(client, response); };
}

inline LoopbackServer::Behaviour stall(const QByteArray& first)
{
    return [first](LoopbackServer& server, int client) {
        LoopbackServer::sendAll(client, first);
        server.waitForClientToLeave(client);
    };
}

inline LoopbackServer::Behaviour trickleEndlessBody()
{
    return [](LoopbackServer& server, int client) {
        if (!LoopbackServer::sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n"))
            return;
        const QByteArray chunk(1024, 'x');
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!server.stopping() && std::chrono::steady_clock::now() < end) {
            if (!LoopbackServer::sendAll(client, chunk))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
}

// A header, then one body byte every `interval`: never silent long enough
// for a receive time-out, never done (until the test ends).
inline LoopbackServer::Behaviour trickleOneByteAtATime(std::chrono::milliseconds interval)
{
    return [interval](LoopbackServer& server, int client) {
        if (!LoopbackServer::sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n"))
            return;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!server.stopping() && std::chrono::steady_clock::now() < end) {
            if (!LoopbackServer::sendAll(client, "x"))
                return;
            server.waitForClientToLeave(client, interval);
        }
    };
}

inline LoopbackServer::Behaviour resetConnection(const QByteArray& first = {})
{
    return [first](LoopbackServer&, int client) {
        LoopbackServer::sendAll(client, first);
        linger abort{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    };
}

// A listener on 127.0.0.1 whose queue is full, so that a connection attempt
// to its port hangs until the client gives up.
class UnacceptedListener {
public:
    UnacceptedListener()
    {
        m_listener = listenOnLoopback(m_port, 0);
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(m_port);
        if (m_listener >= 0 && m_filler >= 0)
            ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~UnacceptedListener()
    {
        if (m_filler >= 0)
            ::close(m_filler);
        if (m_listener >= 0)
            ::close(m_listener);
    }
    UnacceptedListener(const UnacceptedListener&) = delete;
    UnacceptedListener& operator=(const UnacceptedListener&) = delete;

    bool listening() const { return m_listener >= 0 && m_filler >= 0; }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path); }

private:
    int m_listener = -1;
    int m_filler = -1;
    uint16_t m_port = 0;
};

} // namespace ostrel::testing
