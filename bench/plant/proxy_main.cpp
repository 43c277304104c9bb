// bench_delay_proxy: the delaying relay on its own, to try a database server by hand:
//
//   bench_delay_proxy LISTEN_PORT TARGET_PORT [DELAY_US]   (default 1000; 127.0.0.1 both ends)
//   psql -h 127.0.0.1 -p LISTEN_PORT ...                    (each statement ~1 ms slower)

#include "delay_proxy.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LISTEN_PORT TARGET_PORT [DELAY_US]\n", argv[0]);
        return 2;
    }
    const int delay = argc > 3 ? std::atoi(argv[3]) : 1000;
    DelayProxy proxy;
    std::string error;
    if (!proxy.Start("127.0.0.1", uint16_t(std::atoi(argv[2])), delay, uint16_t(std::atoi(argv[1])),
                     &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("relaying 127.0.0.1:%u -> 127.0.0.1:%s, %d us added per chunk sent\n",
                unsigned(proxy.Port()), argv[2], delay);
    std::fflush(stdout);
    std::signal(SIGINT, [](int) { std::_Exit(0); });
    std::signal(SIGTERM, [](int) { std::_Exit(0); });
    for (;;) {
        pause();
    }
}
