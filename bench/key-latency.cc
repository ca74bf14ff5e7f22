// SPDX-License-Identifier: BSD-2-Clause
// key-latency [--keys N] [--seed N] [--timeout S] [--key-timeout S] [--still MS]
//             [--samples FILE] --result FILE -- TERMINAL...
// key-latency --child FILE ROW COLUMN
//
// Key to screen, measured from outside the terminal. The terminal runs
// `key-latency --child FILE ROW COLUMN` (TERMINAL... must end with that
// command): on a raw, non-echoing tty with the cursor hidden it answers
// every byte it reads by turning one cell at ROW, COLUMN from blank to
// filled (a reversed space) or back, and keeps the count of bytes it read in
// FILE. The driver starts the terminal, waits for its top-level window's map
// and for the child, gives the window the keyboard, waits until the window
// has kept still for --still MS (300; more under valgrind) and presses one
// key with XTEST to find the cell's pixels on the screen (the box of pixels
// that changed). Then it presses the key N more times (150) at random gaps
// of 20-60 ms between one key's pixels and the next key, and times each from
// the key sent to the first changed pixel, reading the cell from the root
// window in a tight loop of XGetImage. The root window is what the screen
// shows, composited windows included.
//
// Each run proves itself: the child's count must equal the keys sent, the
// cell must come to the state the key asked for (within --key-timeout S, 2;
// more for a terminal run under valgrind), and it must not change while no
// key is outstanding (between keys, and for 300 ms after the last);
// otherwise the run is reported as failed with the reason. The server's key
// repeat is off meanwhile, so that a key held long on a loaded machine is
// still one key.
//
// Prints one line of key=value pairs: status (ok or failed), reason, keys,
// count, median_ms, p95_ms, max_ms, min_ms, mean_ms, poll_us (the mean time
// of one read of the cell), cpu_us (CPU time of the terminal, all its
// threads, per key over the N keys: the work a key costs, whatever the
// load), map_ms, cell (x,y,w,h on the root window), child_ppid,
// terminal_pid, wm_pid. --samples FILE also writes every key's time, one
// line a key: its number, the gap before it and its latency, in ms.
#include "process-cpu.hh"
#include "window-owner.hh"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// --- The child: one cell per byte --------------------------------------------

int run_child(const char* path, int row, int column)
{
        int out = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0) {
                std::perror(path);
                return 1;
        }
        termios tty{};
        if (tcgetattr(0, &tty) == 0) {
                cfmakeraw(&tty);
                tcsetattr(0, TCSANOW, &tty);
        }
        // Cursor hidden, screen cleared: nothing but the cell may change.
        constexpr char setup[] = "\x1b[?25l\x1b[2J\x1b[H";
        if (write(1, setup, sizeof setup - 1) < 0)
                return 1;
        long count = 0;
        auto report = [&] {
                char line[96];
                int n = std::snprintf(line, sizeof line, "pid=%d ppid=%d count=%012ld\n",
                                      int(getpid()), int(getppid()), count);
                return pwrite(out, line, size_t(n), 0) == n;
        };
        if (!report())
                return 1;
        char filled[48], blank[48];
        int filled_n = std::snprintf(filled, sizeof filled, "\x1b[%d;%dH\x1b[7m \x1b[m", row, column);
        int blank_n = std::snprintf(blank, sizeof blank, "\x1b[%d;%dH ", row, column);
        char buffer[256];
        for (;;) {
                auto n = read(0, buffer, sizeof buffer);
                if (n < 0 && errno == EINTR)
                        continue;
                if (n <= 0)
                        return 0;
                count += n;
                // The cell first: it is what is timed. The count after it.
                bool fill = count % 2 == 1;
                if (write(1, fill ? filled : blank, size_t(fill ? filled_n : blank_n)) < 0)
                        return 1;
                if (!report())
                        return 1;
        }
}

// --- The driver ----------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start)
{
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
        int keys = 150;
        unsigned seed = 1;
        double timeout_s = 30;
        double key_timeout_s = 2;
        double still_ms = 300;
        std::string result;
        std::string samples;
        char** command = nullptr;
};

bool parse_options(int argc, char** argv, Options& options)
{
        for (int i = 1; i < argc; ++i) {
                std::string arg = argv[i];
                if (arg == "--" && i + 1 < argc) {
                        options.command = argv + i + 1;
                        return !options.result.empty() && options.keys > 0;
                }
                if (i + 1 >= argc)
                        return false;
                if (arg == "--keys")
                        options.keys = std::atoi(argv[++i]);
                else if (arg == "--seed")
                        options.seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
                else if (arg == "--timeout")
                        options.timeout_s = std::atof(argv[++i]);
                else if (arg == "--key-timeout")
                        options.key_timeout_s = std::atof(argv[++i]);
                else if (arg == "--still")
                        options.still_ms = std::atof(argv[++i]);
                else if (arg == "--result")
                        options.result = argv[++i];
                else if (arg == "--samples")
                        options.samples = argv[++i];
                else
                        return false;
        }
        return false;
}

struct Failure {
        std::string reason;
};

struct Box {
        int x = 0, y = 0, width = 0, height = 0;
};

// The pixels of one area of the screen, compared as bytes.
class Screen {
public:
        explicit Screen(Display* display) : display_(display), root_(DefaultRootWindow(display)) {}

        std::vector<unsigned long> read(const Box& box)
        {
                auto image = XGetImage(display_, root_, box.x, box.y, unsigned(box.width),
                                       unsigned(box.height), AllPlanes, ZPixmap);
                if (!image)
                        throw Failure{"XGetImage failed"};
                std::vector<unsigned long> pixels;
                pixels.reserve(size_t(box.width) * size_t(box.height));
                for (int y = 0; y < box.height; ++y)
                        for (int x = 0; x < box.width; ++x)
                                pixels.push_back(XGetPixel(image, x, y));
                XDestroyImage(image);
                ++reads_;
                return pixels;
        }

        long reads() const { return reads_; }

private:
        Display* display_;
        Window root_;
        long reads_ = 0;
};

// The window may go away at any moment once the child is stopped.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

Window wait_for_map(Display* display, Clock::time_point deadline)
{
        while (Clock::now() < deadline) {
                while (XPending(display)) {
                        XEvent event;
                        XNextEvent(display, &event);
                        if (event.type == MapNotify && !event.xmap.override_redirect)
                                return event.xmap.window;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        throw Failure{"no top-level window was mapped"};
}

struct ChildReport {
        long pid = 0, ppid = 0, count = -1;
};

std::optional<ChildReport> read_child(const std::string& path)
{
        std::ifstream in(path);
        std::string line;
        if (!std::getline(in, line))
                return std::nullopt;
        ChildReport report;
        if (std::sscanf(line.c_str(), "pid=%ld ppid=%ld count=%ld", &report.pid, &report.ppid,
                        &report.count) != 3)
                return std::nullopt;
        return report;
}

ChildReport wait_for_child(const std::string& path, Clock::time_point deadline)
{
        while (Clock::now() < deadline) {
                if (auto report = read_child(path))
                        return *report;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        throw Failure{"the child did not start in the terminal"};
}

Box window_box(Display* display, Window window)
{
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, window, &attributes))
                throw Failure{"the window is gone"};
        Box box;
        Window ignored;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &box.x, &box.y,
                              &ignored);
        box.width = attributes.width;
        box.height = attributes.height;
        return box;
}

// Waits until the area has not changed for `quiet_ms`; returns its pixels.
std::vector<unsigned long> wait_until_still(Screen& screen, const Box& box, double quiet_ms,
                                            double limit_ms)
{
        auto start = Clock::now();
        auto last = screen.read(box);
        auto since = Clock::now();
        while (ms_since(start) < limit_ms) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                auto now = screen.read(box);
                if (now != last) {
                        last = std::move(now);
                        since = Clock::now();
                } else if (ms_since(since) >= quiet_ms) {
                        return last;
                }
        }
        throw Failure{"the window never kept still"};
}

Box changed_box(const Box& area, const std::vector<unsigned long>& before,
                const std::vector<unsigned long>& after)
{
        int left = area.width, top = area.height, right = -1, bottom = -1;
        for (int y = 0; y < area.height; ++y)
                for (int x = 0; x < area.width; ++x) {
                        auto i = size_t(y) * size_t(area.width) + size_t(x);
                        if (before[i] == after[i])
                                continue;
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                }
        if (right < 0)
                throw Failure{"the first key changed nothing on the screen"};
        return {area.x + left, area.y + top, right - left + 1, bottom - top + 1};
}

std::vector<unsigned long> crop(const Box& area, const std::vector<unsigned long>& pixels,
                                const Box& part)
{
        std::vector<unsigned long> out;
        for (int y = part.y - area.y; y < part.y - area.y + part.height; ++y)
                for (int x = part.x - area.x; x < part.x - area.x + part.width; ++x)
                        out.push_back(pixels[size_t(y) * size_t(area.width) + size_t(x)]);
        return out;
}

class Keyboard {
public:
        Keyboard(Display* display) : display_(display), code_(XKeysymToKeycode(display, XK_a))
        {
                if (!code_)
                        throw Failure{"no key code for a"};
        }

        void press()
        {
                XTestFakeKeyEvent(display_, code_, True, CurrentTime);
                XFlush(display_);
        }

        void release()
        {
                XTestFakeKeyEvent(display_, code_, False, CurrentTime);
                XFlush(display_);
        }

private:
        Display* display_;
        KeyCode code_;
};

struct Run {
        std::vector<double> latencies;
        std::vector<double> gaps;
        Box cell;
        double map_ms = -1;
        long child_ppid = 0, wm_pid = 0, count = -1;
        double poll_us = 0;
        double cpu_us = -1;
};

// Watches the cell for `ms` while no key is outstanding: it must not change.
void watch_idle(Screen& screen, const Box& cell, const std::vector<unsigned long>& expected,
                double ms)
{
        auto start = Clock::now();
        while (ms_since(start) < ms) {
                if (screen.read(cell) != expected)
                        throw Failure{"the cell changed with no key sent"};
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
}

double time_one_key(Screen& screen, Keyboard& keyboard, const Box& cell,
                    const std::vector<unsigned long>& before,
                    const std::vector<unsigned long>& after, double limit_ms)
{
        keyboard.press();
        auto sent = Clock::now();
        double latency = -1;
        while (ms_since(sent) < limit_ms) {
                auto now = screen.read(cell);
                if (latency < 0 && now != before)
                        latency = ms_since(sent);
                if (now == after)
                        break;
        }
        keyboard.release();
        if (latency < 0)
                throw Failure{"a key changed nothing in time"};
        if (screen.read(cell) != after)
                throw Failure{"the cell did not come to the state the key asked for"};
        return latency;
}

void measure(Display* display, const Options& options, Window window, pid_t terminal,
             Clock::time_point deadline, Run& run)
{
        Screen screen(display);
        Keyboard keyboard(display);
        auto child = wait_for_child(options.result, deadline);
        run.child_ppid = child.ppid;
        run.wm_pid = window_pid(display, window);

        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        auto area = window_box(display, window);
        auto blank = wait_until_still(screen, area, options.still_ms, 100 * options.still_ms);

        // The first key finds the cell.
        keyboard.press();
        keyboard.release();
        auto filled = wait_until_still(screen, area, options.still_ms, 100 * options.still_ms);
        if (filled == blank)
                throw Failure{"the first key changed nothing on the screen"};
        run.cell = changed_box(area, blank, filled);
        if (run.cell.width > 200 || run.cell.height > 200)
                throw Failure{"more than one cell changed with the first key"};
        std::vector<unsigned long> states[2] = {crop(area, blank, run.cell),
                                                crop(area, filled, run.cell)};
        int state = 1;

        std::mt19937 random(options.seed);
        std::uniform_real_distribution<double> gap(20, 60);
        double polling_ms = 0;
        long polls = 0;
        double cpu_before = process_cpu_ms(terminal);
        for (int i = 0; i < options.keys; ++i) {
                run.gaps.push_back(gap(random));
                watch_idle(screen, run.cell, states[state], run.gaps.back());
                long before = screen.reads();
                auto start = Clock::now();
                run.latencies.push_back(
                    time_one_key(screen, keyboard, run.cell, states[state], states[1 - state],
                                 options.key_timeout_s * 1e3));
                polling_ms += ms_since(start);
                polls += screen.reads() - before;
                state = 1 - state;
        }
        double cpu_after = process_cpu_ms(terminal);
        if (cpu_before >= 0 && cpu_after >= 0)
                run.cpu_us = (cpu_after - cpu_before) * 1e3 / options.keys;
        watch_idle(screen, run.cell, states[state], 300);
        run.poll_us = polls ? polling_ms * 1e3 / double(polls) : 0;
        auto last = read_child(options.result);
        run.count = last ? last->count : -1;
        if (run.count != options.keys + 1)
                throw Failure{"the child counted " + std::to_string(run.count) + " bytes for " +
                              std::to_string(options.keys + 1) + " keys"};
        kill(pid_t(child.pid), SIGTERM);
}

pid_t start(char** command)
{
        auto pid = fork();
        if (pid == 0) {
                execvp(command[0], command);
                std::perror(command[0]);
                _exit(127);
        }
        return pid;
}

// The terminal exits when its child does; one that does not is stopped.
void reap(pid_t terminal)
{
        for (int i = 0; i < 500; ++i) {
                if (waitpid(terminal, nullptr, WNOHANG) == terminal)
                        return;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(terminal, SIGKILL);
        waitpid(terminal, nullptr, 0);
}

double percentile(std::vector<double> values, double share)
{
        std::sort(values.begin(), values.end());
        auto rank = size_t(std::max(1.0, std::ceil(share * double(values.size()))));
        return values[std::min(rank, values.size()) - 1];
}

void print(const Run& run, const std::string& status, const std::string& reason, pid_t terminal,
           int keys)
{
        std::printf("status=%s reason=%s keys=%d count=%ld", status.c_str(), reason.c_str(), keys,
                    run.count);
        if (!run.latencies.empty()) {
                double sum = 0;
                for (double value : run.latencies)
                        sum += value;
                std::printf(" median_ms=%.3f p95_ms=%.3f max_ms=%.3f min_ms=%.3f mean_ms=%.3f",
                            percentile(run.latencies, 0.5), percentile(run.latencies, 0.95),
                            percentile(run.latencies, 1.0), percentile(run.latencies, 0.0),
                            sum / double(run.latencies.size()));
        }
        std::printf(" poll_us=%.1f cpu_us=%.1f map_ms=%.1f cell=%d,%d,%d,%d child_ppid=%ld "
                    "terminal_pid=%d wm_pid=%ld\n",
                    run.poll_us, run.cpu_us, run.map_ms, run.cell.x, run.cell.y, run.cell.width,
                    run.cell.height, run.child_ppid, int(terminal), run.wm_pid);
}

void write_samples(const Run& run, const std::string& file)
{
        std::ofstream out(file);
        for (size_t i = 0; i < run.latencies.size(); ++i)
                out << i + 1 << ' ' << run.gaps[i] << ' ' << run.latencies[i] << '\n';
        if (!out)
                std::fprintf(stderr, "key-latency: cannot write %s\n", file.c_str());
}

std::string underscored(std::string text)
{
        std::replace(text.begin(), text.end(), ' ', '_');
        return text;
}

int run_driver(const Options& options)
{
        auto display = XOpenDisplay(nullptr);
        if (!display) {
                std::fprintf(stderr, "key-latency: cannot open display\n");
                return 1;
        }
        int event_base, error_base, major, minor;
        if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
                std::fprintf(stderr, "key-latency: the X server has no XTEST\n");
                return 1;
        }
        XSetErrorHandler(ignore_errors);
        // A key held while a loaded machine takes its time to answer must
        // not repeat: the count would no longer match the keys sent.
        XAutoRepeatOff(display);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
        unlink(options.result.c_str());

        Run run;
        auto t0 = Clock::now();
        auto terminal = start(options.command);
        std::string status = "ok", reason = "-";
        try {
                auto deadline = t0 + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(options.timeout_s));
                auto window = wait_for_map(display, deadline);
                run.map_ms = ms_since(t0);
                measure(display, options, window, terminal, deadline, run);
        } catch (const Failure& failure) {
                status = "failed";
                reason = underscored(failure.reason);
                if (auto child = read_child(options.result))
                        kill(pid_t(child->pid), SIGTERM);
        }
        reap(terminal);
        XAutoRepeatOn(display);
        XSync(display, False);
        print(run, status, reason, terminal, options.keys);
        if (!options.samples.empty())
                write_samples(run, options.samples);
        XCloseDisplay(display);
        return 0;
}

} // namespace

int main(int argc, char** argv)
{
        if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
                return run_child(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
        Options options;
        if (!parse_options(argc, argv, options)) {
                std::fprintf(stderr, "usage: key-latency [--keys N] [--seed N] [--timeout S] "
                                     "[--key-timeout S] [--still MS] --result FILE -- TERMINAL...\n"
                                     "       key-latency --child FILE ROW COLUMN\n");
                return 2;
        }
        return run_driver(options);
}
