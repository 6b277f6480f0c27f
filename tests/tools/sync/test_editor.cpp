// A stand-in for a sync tracker's editor, for the end-to-end tests: it listens on a port,
// greets each demo that connects, and sends what its commands on stdin say. As the editors
// do, it keeps the keys it has sent and sends a track's keys again when a demo asks for the
// track. What the demo sends comes out on stdout, a line each, flushed at once.
//   test_editor PORT
// stdin:  key TRACK ROW VALUE INTERPOLATION | delete TRACK ROW | row N | pause 0|1 | save |
//         garbage (an unknown command byte) | drop (closes the demo's connection) | quit
// stdout: listening | connected | track INDEX NAME | row N | closed | bad greeting
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/sync/rocket_protocol.h"

using namespace tools::sync;

namespace {

int g_client = -1;
std::string g_in;  // bytes from the demo not taken yet
bool g_greeted = false;
std::vector<std::string> g_tracks;
std::map<std::string, std::map<int32_t, std::pair<float, int>>> g_keys;  // track -> row -> key

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void SendRaw(const std::string& bytes) {
    if (g_client >= 0) (void)!::send(g_client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void CloseClient() {
    if (g_client >= 0) ::close(g_client);
    g_client = -1;
    g_in.clear();
    g_greeted = false;
    g_tracks.clear();
    Say("closed");
}

uint32_t Big32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
           uint32_t(uint8_t(s[at + 2])) << 8 | uint32_t(uint8_t(s[at + 3]));
}

// What the demo sent: the greeting, then GET_TRACK and SET_ROW messages.
void TakeFromDemo() {
    if (!g_greeted) {
        const size_t size = std::strlen(kClientGreeting);
        if (g_in.size() < size) return;
        if (g_in.compare(0, size, kClientGreeting) != 0) {
            Say("bad greeting");
            CloseClient();
            return;
        }
        g_in.erase(0, size);
        g_greeted = true;
        SendRaw(kServerGreeting);
        Say("connected");
    }
    for (;;) {
        if (g_in.empty()) return;
        const uint8_t c = uint8_t(g_in[0]);
        if (c == uint8_t(Command::GetTrack)) {
            if (g_in.size() < 5) return;
            const uint32_t length = Big32(g_in, 1);
            if (g_in.size() < 5 + length) return;
            g_tracks.push_back(g_in.substr(5, length));
            Say("track " + std::to_string(g_tracks.size() - 1) + " " + g_tracks.back());
            g_in.erase(0, 5 + length);
            for (const auto& [row, key] : g_keys[g_tracks.back()])
                SendRaw(EncodeSetKey(uint32_t(g_tracks.size() - 1), row, key.first,
                                     uint8_t(key.second)));
        } else if (c == uint8_t(Command::SetRow)) {
            if (g_in.size() < 5) return;
            Say("row " + std::to_string(Big32(g_in, 1)));
            g_in.erase(0, 5);
        } else {
            Say("unknown command " + std::to_string(c));
            CloseClient();
            return;
        }
    }
}

uint32_t TrackIndex(const std::string& name) {
    for (size_t i = 0; i < g_tracks.size(); ++i)
        if (g_tracks[i] == name) return uint32_t(i);
    return uint32_t(std::strtoul(name.c_str(), nullptr, 10));  // a number: as it is
}

bool RunCommand(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word == "quit") return false;
    if (word == "key") {
        std::string track;
        int32_t row = 0;
        float value = 0;
        int interpolation = 0;
        in >> track >> row >> value >> interpolation;
        g_keys[track][row] = {value, interpolation};
        SendRaw(EncodeSetKey(TrackIndex(track), row, value, uint8_t(interpolation)));
    } else if (word == "delete") {
        std::string track;
        int32_t row = 0;
        in >> track >> row;
        g_keys[track].erase(row);
        SendRaw(EncodeDeleteKey(TrackIndex(track), row));
    } else if (word == "row") {
        int32_t row = 0;
        in >> row;
        SendRaw(EncodeSetRow(row));
    } else if (word == "pause") {
        int flag = 0;
        in >> flag;
        SendRaw(EncodePause(flag != 0));
    } else if (word == "save") {
        SendRaw(EncodeSaveTracks());
    } else if (word == "garbage") {
        SendRaw(std::string(1, '\x09'));
    } else if (word == "drop") {
        CloseClient();
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: test_editor PORT\n");
        return 2;
    }
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(std::atoi(argv[1])));
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0) {
        std::perror("test_editor: cannot listen");
        return 1;
    }
    Say("listening");
    std::string line;
    for (;;) {
        pollfd fds[3] = {{0, POLLIN, 0}, {listener, POLLIN, 0}, {g_client, POLLIN, 0}};
        if (::poll(fds, g_client >= 0 ? 3 : 2, 1000) < 0) return 1;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept(listener, nullptr, nullptr);
            if (g_client >= 0) ::close(client);  // one demo at a time
            else g_client = client;
        }
        if (g_client >= 0 && (fds[2].revents & (POLLIN | POLLHUP))) {
            char buffer[4096];
            const ssize_t n = ::recv(g_client, buffer, sizeof buffer, 0);
            if (n <= 0) CloseClient();
            else {
                g_in.append(buffer, size_t(n));
                TakeFromDemo();
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char c;
            const ssize_t n = ::read(0, &c, 1);
            if (n <= 0) return 0;
            if (c != '\n') {
                line += c;
                continue;
            }
            if (!RunCommand(line)) return 0;
            line.clear();
        }
    }
}
