// reload-watch --config PATH [--good FILE --bad FILE --reloads N]
//              [--timeout S] -- COMMAND [ARGS...]
//
// Starts a terminal whose configuration file is PATH and prints, as
// key=value pairs on one line:
//   map_ms     launch -> MapNotify of its top-level window (no window
//              manager runs, so the window is a child of the root)
//   reload_ms  for each of N reloads, SIGUSR1 -> the notification bar shows
//              the warnings of the --bad file (comma-separated)
// A figure that did not come within the timeout is printed as ">MS".
//
// A reload is seen from outside, in the window's pixels: the bottom of the
// window, where the bar shows, looks exactly as it did after the start with
// the --bad file once the bar shows that file's warnings again. Before each
// timed reload PATH gets the --good file and a reload, and the watcher
// waits until the bottom has changed (the bar says the file loaded); then
// PATH gets the --bad file, SIGUSR1 goes out, and the clock runs until the
// bottom is back as it was. Animations must be off
// (gtk-enable-animations=false) so the bar changes at once.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
        std::string config, good, bad;
        int reloads = 0;
        double timeout_s = 30;
        char** command = nullptr;
};

double now_ms()
{
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

bool parse_options(int argc, char** argv, Options& o)
{
        for (int i = 1; i < argc; ++i) {
                std::string arg = argv[i];
                auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
                if (arg == "--" && i + 1 < argc) {
                        o.command = argv + i + 1;
                        return !o.config.empty();
                }
                if (arg == "--config")
                        o.config = value();
                else if (arg == "--good")
                        o.good = value();
                else if (arg == "--bad")
                        o.bad = value();
                else if (arg == "--reloads")
                        o.reloads = std::atoi(value().c_str());
                else if (arg == "--timeout")
                        o.timeout_s = std::atof(value().c_str());
                else
                        return false;
        }
        return false;
}

// Replaces the configuration in one step, as an editor that saves by
// renaming does: the terminal never reads half a file.
void install(const std::string& file, const std::string& config)
{
        auto temporary = config + ".new";
        std::filesystem::copy_file(file, temporary,
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::rename(temporary, config);
}

class Watcher {
public:
        explicit Watcher(Display* display) : m_display{display} {}

        // Waits for the map of a top-level window; 0 on timeout.
        Window wait_for_map(double deadline)
        {
                XEvent event;
                while (now_ms() < deadline) {
                        while (XPending(m_display)) {
                                XNextEvent(m_display, &event);
                                if (event.type == MapNotify && !event.xmap.override_redirect &&
                                    event.xmap.event == DefaultRootWindow(m_display))
                                        return event.xmap.window;
                        }
                        pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
                        poll(&fd, 1, 5);
                }
                return 0;
        }

        // A digest of the bottom rows of the window, where the bar shows;
        // 0 when the window cannot be read.
        unsigned long long bottom(Window window)
        {
                XWindowAttributes attributes{};
                if (!XGetWindowAttributes(m_display, window, &attributes) ||
                    attributes.height < bar_rows)
                        return 0;
                auto width = std::min(attributes.width, 600);
                auto image = XGetImage(m_display, window, 0, attributes.height - bar_rows,
                                       unsigned(width), bar_rows, AllPlanes, ZPixmap);
                if (!image)
                        return 0;
                // FNV-1a over the pixels.
                unsigned long long digest = 1469598103934665603ull;
                for (int y = 0; y < bar_rows; ++y)
                        for (int x = 0; x < width; ++x) {
                                digest ^= XGetPixel(image, x, y);
                                digest *= 1099511628211ull;
                        }
                XDestroyImage(image);
                return digest;
        }

private:
        static constexpr int bar_rows = 60;

        Display* m_display;
};

// Polls until `done` holds; the time it took, or a negative number.
template<typename F>
double wait_until(F done, double timeout_ms)
{
        auto start = now_ms();
        while (now_ms() - start < timeout_ms) {
                if (done())
                        return now_ms() - start;
                usleep(2000);
        }
        return -1;
}

std::string figure(double ms, double timeout_s)
{
        if (ms < 0)
                return ">" + std::to_string(int(timeout_s * 1000));
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", ms);
        return text;
}

} // namespace

int main(int argc, char** argv)
{
        Options options;
        if (!parse_options(argc, argv, options)) {
                std::fprintf(stderr, "usage: reload-watch --config PATH [--good FILE --bad FILE "
                                     "--reloads N] [--timeout S] -- COMMAND [ARGS...]\n");
                return 2;
        }
        auto display = XOpenDisplay(nullptr);
        if (!display) {
                std::fprintf(stderr, "reload-watch: cannot open the display\n");
                return 1;
        }
        // A window that goes away while it is read is a failed run, not a crash.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, false);

        auto timeout_ms = options.timeout_s * 1000;
        auto start = now_ms();
        auto pid = fork();
        if (pid == 0) {
                execvp(options.command[0], options.command);
                _exit(127);
        }
        Watcher watcher{display};
        auto window = watcher.wait_for_map(start + timeout_ms);
        std::string line = "map_ms=" + figure(window ? now_ms() - start : -1, options.timeout_s);

        if (window && options.reloads > 0) {
                // The bar with the bad file's warnings, as the start left it:
                // drawn, and the same twice 200 ms apart.
                unsigned long long warned = 0;
                wait_until([&] {
                        auto first = watcher.bottom(window);
                        usleep(200000);
                        warned = watcher.bottom(window);
                        return warned && warned == first;
                }, timeout_ms);
                line += " reload_ms=";
                for (int i = 0; i < options.reloads; ++i) {
                        install(options.good, options.config);
                        kill(pid, SIGUSR1);
                        auto informed = wait_until([&] {
                                auto now = watcher.bottom(window);
                                return now && now != warned;
                        }, timeout_ms);
                        double ms = -1;
                        if (informed >= 0) {
                                install(options.bad, options.config);
                                kill(pid, SIGUSR1);
                                ms = wait_until([&] { return watcher.bottom(window) == warned; },
                                                timeout_ms);
                        }
                        line += (i ? "," : "") + figure(ms, options.timeout_s);
                        if (ms < 0)
                                break;
                }
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);

        kill(pid, SIGTERM);
        int status = 0;
        if (wait_until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5000) < 0) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
        }
        XCloseDisplay(display);
        return 0;
}
