// `qv play --rocket`: the link to a sync tracker's editor. It connects and reconnects (every
// second, never waiting on the network), greets, asks for one track per float variable and
// hands the session what the editor asked; while playing it reports the row. A lost or
// malformed connection leaves the tracks as they were.
#pragma once
#include <cstdint>
#include <string>

#include "platform/workbench/tcp_connection.h"
#include "tools/sync/editor_protocol.h"

namespace tools {

inline constexpr double kRocketRetryMs = 1000;

class RocketLink {
public:
    RocketLink(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {}

    // What the editor asked since the last call, its messages applied to tracks.
    sync::EditorEvents Poll(sync::Tracks& tracks, double nowMs);
    // The row the demo plays now; sent when it differs from the last one sent.
    void ReportRow(int32_t row);
    // Drops the connection and connects again at once (the tracks' names changed).
    void Reconnect();
    bool Connected() const { return protocol_.Greeted() && conn_.Current() == State::Open; }
    std::string Address() const { return host_ + ":" + std::to_string(port_); }

private:
    using State = platform::TcpConnection::State;
    void Lost(const std::string& why, double nowMs);
    void TryConnect(double nowMs);

    std::string host_;
    uint16_t port_;
    platform::TcpConnection conn_;
    sync::EditorProtocol protocol_;
    double nextTryMs_ = 0;
    bool toldWaiting_ = false;  // "no editor yet" is said once, not every second
    int32_t rowSent_ = -1;
};

}  // namespace tools
