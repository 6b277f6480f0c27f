#include "platform/workbench/tcp_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

TcpConnection::~TcpConnection() { Close(); }

void TcpConnection::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    state_ = State::Closed;
    outgoing_.clear();
}

bool TcpConnection::Connect(const std::string& host, uint16_t port, std::string& error) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_INET;  // the editors listen on IPv4
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    // "localhost" is the loopback address even where no hosts file says so (a bare root).
    const std::string name = host == "localhost" ? "127.0.0.1" : host;
    const int r = ::getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (r != 0 || !found) {
        error = "cannot find host '" + host + "': " + ::gai_strerror(r);
        return false;
    }
    fd_ = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error = std::string("no socket: ") + std::strerror(errno);
        ::freeaddrinfo(found);
        return false;
    }
    const int one = 1;  // small messages, sent at once
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const int c = ::connect(fd_, found->ai_addr, found->ai_addrlen);
    const int why = errno;
    ::freeaddrinfo(found);
    if (c != 0 && why != EINPROGRESS) {
        error = std::strerror(why);
        Close();
        return false;
    }
    state_ = c == 0 ? State::Open : State::Connecting;
    return true;
}

TcpConnection::State TcpConnection::Poll(std::string& error) {
    if (state_ != State::Connecting) return state_;
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, 0) <= 0) return state_;
    int why = 0;
    socklen_t size = sizeof why;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &why, &size);
    if (why != 0) {
        error = std::strerror(why);
        Close();
        return state_;
    }
    state_ = State::Open;
    return Flush(error) ? state_ : State::Closed;
}

bool TcpConnection::Flush(std::string& error) {
    while (state_ == State::Open && !outgoing_.empty()) {
        const ssize_t n = ::send(fd_, outgoing_.data(), outgoing_.size(), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        if (n <= 0) {
            error = std::strerror(errno);
            Close();
            return false;
        }
        outgoing_.erase(0, size_t(n));
    }
    return state_ != State::Closed;
}

bool TcpConnection::Send(std::string_view bytes, std::string& error) {
    if (state_ == State::Closed) {
        error = "not connected";
        return false;
    }
    outgoing_.append(bytes);
    return Flush(error);
}

bool TcpConnection::Receive(std::vector<uint8_t>& into, std::string& error) {
    if (state_ != State::Open) return state_ == State::Connecting;
    if (!Flush(error)) return false;
    uint8_t buffer[4096];
    // A bounded share per call: an editor that never stops sending cannot hold the window.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            into.insert(into.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n < 0 && errno == EINTR) continue;
        error = n == 0 ? "the editor closed the connection" : std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

}  // namespace platform
