#include "delay_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxConnections = 32;
constexpr size_t kMaxQueued = 4u << 20;  // bytes held for one direction
constexpr size_t kChunk = 64u << 10;

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
    size_t sent = 0;
};

// One direction of a connection: bytes read from `from`, written to `to` once due.
struct Direction {
    std::deque<Chunk> queue;
    size_t queued = 0;
    bool readClosed = false;
};

struct Pair {
    int client = -1;
    int server = -1;
    Direction up;    // client to server, delayed
    Direction down;  // server to client, at once
    bool dead = false;
};

void SetNoDelay(int fd) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

bool IsLoopback(uint32_t networkAddress) {
    return (ntohl(networkAddress) >> 24) == 127;
}

// Reads what is there into the direction's queue; false when the side has closed or failed.
bool ReadInto(int fd, Direction& direction, Clock::duration delay) {
    std::vector<char> buffer(kChunk);
    const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
    if (n > 0) {
        buffer.resize(size_t(n));
        direction.queued += size_t(n);
        direction.queue.push_back(Chunk{Clock::now() + delay, std::move(buffer), 0});
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return true;
    }
    direction.readClosed = true;
    return false;
}

// Writes every due chunk it can; false when the receiving side failed.
bool WriteDue(int fd, Direction& direction, Clock::time_point now) {
    while (!direction.queue.empty() && direction.queue.front().due <= now) {
        Chunk& chunk = direction.queue.front();
        const ssize_t n = send(fd, chunk.bytes.data() + chunk.sent, chunk.bytes.size() - chunk.sent,
                               MSG_NOSIGNAL);
        if (n < 0) {
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        }
        chunk.sent += size_t(n);
        direction.queued -= size_t(n);
        if (chunk.sent < chunk.bytes.size()) {
            return true;
        }
        direction.queue.pop_front();
    }
    return true;
}

}  // namespace

DelayProxy::~DelayProxy() {
    Stop();
}

bool DelayProxy::Start(const std::string& targetHost, uint16_t targetPort, int delayMicroseconds,
                       uint16_t listenPort, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = why;
        }
        Stop();
        return false;
    };
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(targetHost.c_str(), nullptr, &hints, &found) != 0 || !found) {
        return fail("cannot resolve " + targetHost);
    }
    targetAddress_ = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    if (!IsLoopback(targetAddress_)) {
        return fail("the relay only forwards to this computer, not to " + targetHost);
    }
    targetPort_ = targetPort;
    delayUs_ = delayMicroseconds;

    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(listenPort);
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        listen(listener_, 16)) {
        return fail(std::string("cannot listen: ") + std::strerror(errno));
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (pipe(wake_) != 0) {
        return fail("cannot make the wake-up pipe");
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DelayProxy::Stop() {
    stop_ = true;
    if (wake_[1] >= 0) {
        const char byte = 0;
        (void)!write(wake_[1], &byte, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    for (int* fd : {&listener_, &wake_[0], &wake_[1]}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

void DelayProxy::Run() {
    const auto delay = std::chrono::microseconds(delayUs_);
    std::vector<std::unique_ptr<Pair>> pairs;
    std::vector<pollfd> fds;
    while (!stop_) {
        fds.clear();
        fds.push_back(pollfd{listener_, short(pairs.size() < kMaxConnections ? POLLIN : 0), 0});
        fds.push_back(pollfd{wake_[0], POLLIN, 0});
        Clock::time_point next = Clock::time_point::max();
        for (const auto& p : pairs) {
            short clientEvents = 0;
            short serverEvents = 0;
            if (!p->up.readClosed && p->up.queued < kMaxQueued) {
                clientEvents |= POLLIN;
            }
            if (!p->down.readClosed && p->down.queued < kMaxQueued) {
                serverEvents |= POLLIN;
            }
            if (!p->up.queue.empty()) {
                if (p->up.queue.front().due <= Clock::now()) {
                    serverEvents |= POLLOUT;
                } else {
                    next = std::min(next, p->up.queue.front().due);
                }
            }
            if (!p->down.queue.empty()) {
                clientEvents |= POLLOUT;
            }
            fds.push_back(pollfd{p->client, clientEvents, 0});
            fds.push_back(pollfd{p->server, serverEvents, 0});
        }
        // ppoll waits to the microsecond: a 1 ms delay needs no spinning.
        timespec timeout{};
        timespec* wait = nullptr;
        if (next != Clock::time_point::max()) {
            const auto left = std::max(Clock::duration::zero(), next - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = time_t(ns / 1000000000);
            timeout.tv_nsec = long(ns % 1000000000);
            wait = &timeout;
        }
        if (ppoll(fds.data(), fds.size(), wait, nullptr) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents & POLLIN) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client >= 0) {
                const int server = socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in target{};
                target.sin_family = AF_INET;
                target.sin_addr.s_addr = targetAddress_;
                target.sin_port = htons(targetPort_);
                if (server >= 0 &&
                    connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) {
                    SetNoDelay(client);
                    SetNoDelay(server);
                    auto p = std::make_unique<Pair>();
                    p->client = client;
                    p->server = server;
                    pairs.push_back(std::move(p));
                } else {
                    close(client);
                    if (server >= 0) {
                        close(server);
                    }
                }
            }
        }
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < pairs.size(); ++i) {
            Pair& p = *pairs[i];
            const short clientEvents = fds[2 + 2 * i].revents;
            const short serverEvents = fds[3 + 2 * i].revents;
            if (clientEvents & (POLLIN | POLLHUP | POLLERR)) {
                ReadInto(p.client, p.up, delay);
            }
            if (serverEvents & (POLLIN | POLLHUP | POLLERR)) {
                ReadInto(p.server, p.down, std::chrono::microseconds(0));
            }
            if (!WriteDue(p.server, p.up, now) || !WriteDue(p.client, p.down, now)) {
                p.dead = true;
            }
            // A side that closed ends the connection once what it sent has been passed on.
            if ((p.up.readClosed && p.up.queue.empty()) ||
                (p.down.readClosed && p.down.queue.empty())) {
                p.dead = true;
            }
        }
        for (size_t i = pairs.size(); i-- > 0;) {
            if (pairs[i]->dead) {
                close(pairs[i]->client);
                close(pairs[i]->server);
                pairs.erase(pairs.begin() + long(i));
            }
        }
    }
    for (const auto& p : pairs) {
        close(p->client);
        close(p->server);
    }
}
