#pragma once
// A TCP relay on 127.0.0.1 that holds every chunk going from a client to the server for a
// fixed delay, so a statement sent to a local database server takes one more millisecond per
// round trip, as over a plant network. Answers travel back at once. Bounded: a few
// connections, and a side whose queue is full is not read until it drains.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class DelayProxy {
public:
    DelayProxy() = default;
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    // Listens on 127.0.0.1 (port 0: a free one) and relays to targetHost:targetPort, which
    // must be this computer. Returns false, with the reason in *error, when it cannot.
    bool Start(const std::string& targetHost, uint16_t targetPort, int delayMicroseconds,
               uint16_t listenPort = 0, std::string* error = nullptr);
    // Stops relaying and closes every connection.
    void Stop();
    uint16_t Port() const { return port_; }

private:
    void Run();

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    uint16_t port_ = 0;
    uint32_t targetAddress_ = 0;  // network order
    uint16_t targetPort_ = 0;
    int delayUs_ = 1000;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
