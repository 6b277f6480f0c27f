#include "tools/workbench/rocket_link.h"

#include <cstdio>
#include <vector>

#include "tools/sync/rocket_protocol.h"

namespace tools {

void RocketLink::Lost(const std::string& why, double nowMs) {
    conn_.Close();
    nextTryMs_ = nowMs + kRocketRetryMs;
    std::fprintf(stderr,
                 "qv play: the sync tracker at %s: %s; the tracks stay as they are, trying again "
                 "every second\n",
                 Address().c_str(), why.c_str());
    toldWaiting_ = true;
}

void RocketLink::TryConnect(double nowMs) {
    std::string error;
    nextTryMs_ = nowMs + kRocketRetryMs;
    if (conn_.Connect(host_, port_, error)) {
        rowSent_ = -1;
        conn_.Send(protocol_.Start(), error);
        return;
    }
    if (!toldWaiting_)
        std::fprintf(stderr, "qv play: no sync tracker at %s yet (%s); trying every second\n",
                     Address().c_str(), error.c_str());
    toldWaiting_ = true;
}

void RocketLink::Reconnect() {
    conn_.Close();
    nextTryMs_ = 0;
}

sync::EditorEvents RocketLink::Poll(sync::Tracks& tracks, double nowMs) {
    sync::EditorEvents events;
    std::string error;
    if (conn_.Current() == State::Closed) {
        if (nowMs >= nextTryMs_) TryConnect(nowMs);
        return events;
    }
    const bool wasGreeted = protocol_.Greeted();
    if (conn_.Poll(error) == State::Closed) {
        // A refused connect is the usual "no editor yet": said once, then tried quietly.
        if (!toldWaiting_)
            std::fprintf(stderr, "qv play: no sync tracker at %s yet (%s); trying every second\n",
                         Address().c_str(), error.c_str());
        toldWaiting_ = true;
        nextTryMs_ = nowMs + kRocketRetryMs;
        return events;
    }
    if (conn_.Current() != State::Open) return events;
    std::vector<uint8_t> bytes;
    const bool open = conn_.Receive(bytes, error);
    std::string reply;
    if (!protocol_.Take(bytes, tracks, events, reply, error)) {
        Lost("a malformed message (" + error + "); the connection is closed", nowMs);
        return events;
    }
    if (!wasGreeted && protocol_.Greeted()) {
        std::fprintf(stderr, "qv play: connected to the sync tracker at %s (%zu tracks)\n",
                     Address().c_str(), tracks.tracks.size());
        toldWaiting_ = false;
    }
    if (!reply.empty() && !conn_.Send(reply, error)) {
        Lost(error, nowMs);
        return events;
    }
    if (!open) Lost(error, nowMs);
    return events;
}

void RocketLink::ReportRow(int32_t row) {
    if (!Connected() || row == rowSent_) return;
    std::string error;
    if (conn_.Send(sync::EncodeSetRow(row), error)) rowSent_ = row;
}

}  // namespace tools
