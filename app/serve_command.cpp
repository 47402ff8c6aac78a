#include "app/serve_command.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <string>
#include <thread>

#include "app/interrupt.hpp"

#ifdef BLOCKNEST_HAVE_SERVE
#include "serve/server.hpp"
#endif

extern char** environ;

namespace blocknest {

int runServeCommand(const std::vector<std::string_view>& args, Console& console) {
#ifndef BLOCKNEST_HAVE_SERVE
    (void)args;
    console.error("blocknest: serve is not built here: it needs libcpp-httplib-dev");
    return 2;
#else
    ServeOptions options;
    bool open = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--open") {
            open = true;
        } else if ((arg == "--port" || arg == "--host") && i + 1 < args.size()) {
            const std::string_view value = args[++i];
            if (arg == "--host") {
                options.host = std::string(value);
                continue;
            }
            int port = -1;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
            if (ec != std::errc() || end != value.data() + value.size() || port < 0 ||
                port > 65535) {
                console.error("blocknest: serve: --port needs a number from 0 to 65535, not '" +
                              std::string(value) + "'");
                return 2;
            }
            options.port = port;
        } else {
            console.error("blocknest: serve: '" + std::string(arg) +
                          "' is none of --port N, --host ADDR, --open");
            return 2;
        }
    }
    if (options.host != "127.0.0.1" && options.host != "localhost" && options.host != "::1") {
        console.error("blocknest: serve: warning: the page has no login; anyone who reaches " +
                      options.host + " can run jobs on this machine");
    }
    const InterruptToStop interrupt;
    std::atomic<int> bound{0};
    std::string failure;
    std::thread server([&] { failure = serve(options, interrupt.stopFlag(), bound); });
    while (bound.load() == 0 && failure.empty() && !interrupt.interrupted()) {
        usleep(20'000);
    }
    if (bound.load() > 0) {
        const std::string address =
            "http://" + options.host + ":" + std::to_string(bound.load()) + "/";
        console.write("blocknest serves the page at " + address + " (Ctrl-C ends it)\n");
        if (open) {
            std::string url = address;
            char* argv[] = {const_cast<char*>("xdg-open"), url.data(), nullptr};
            pid_t pid = 0;
            if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
                console.error("blocknest: serve: no browser could be started (xdg-open): open " +
                              address + " by hand");
            }
        }
    }
    server.join();
    if (!failure.empty()) {
        console.error("blocknest: serve: " + failure);
        return 1;
    }
    return 0;
#endif
}

}  // namespace blocknest
