// One TCP connection to a sync tracker's editor, without ever blocking the window: the
// connect runs in the background and is asked after, reads take what has arrived, writes
// that the socket cannot take yet wait in an outgoing buffer.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class TcpConnection {
public:
    enum class State { Closed, Connecting, Open };

    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Starts connecting to host:port. False with the reason when it cannot even start (an
    // unknown host, no socket).
    bool Connect(const std::string& host, uint16_t port, std::string& error);
    // Connecting: whether the connect has finished (Open), failed (Closed, with the reason),
    // or goes on. Open: whether the peer is still there.
    State Poll(std::string& error);
    // Queues bytes and sends what the socket takes now. False (and Closed) when the
    // connection is gone.
    bool Send(std::string_view bytes, std::string& error);
    // Appends what has arrived. False (and Closed) when the peer closed or the connection
    // broke.
    bool Receive(std::vector<uint8_t>& into, std::string& error);
    void Close();
    State Current() const { return state_; }

private:
    bool Flush(std::string& error);
    int fd_ = -1;
    State state_ = State::Closed;
    std::string outgoing_;
};

}  // namespace platform
