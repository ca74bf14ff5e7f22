// SPDX-License-Identifier: BSD-2-Clause
// launch [--settle MS] [--stop NAME] [--timeout S] -- COMMAND [ARGS...]
//
// Starts a terminal and watches the root window of the display for the
// terminal's top-level window to be mapped (MapNotify through
// SubstructureNotifyMask: there is no window manager to reparent it). Prints
// one line of key=value pairs:
//   map_ms      launch -> MapNotify of a top-level window
//   exit_ms     launch -> the launched process is gone (reaped)
//   window      the mapped window's id, viewable=1 when the server said so
//   wm_pid      its _NET_WM_PID (0 when the terminal sets none)
//   status      the launched process's exit status, or -signal
//   t0_ms       the moment of the launch on CLOCK_MONOTONIC
//   cpu_ms      CPU time (user + system) of the launched process and of the
//               children it reaped, from wait4: work done, whatever the load
//   xcpu_ms     CPU time the X server (BENCH_XVFB_PID) spent meanwhile
// With --settle MS, MS milliseconds after the map it also reads VmRSS,
// VmHWM and RssAnon (kB) of the process that owns the window, and then, with
// --stop NAME, sends SIGTERM to that process's descendants called NAME (the
// `sleep` run in the terminal), so that the terminal exits on its own.
#include "process-cpu.hh"
#include "window-owner.hh"

#include <X11/Xlib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
        int settle_ms = -1;
        std::string stop_name;
        double timeout_s = 60;
        char** command = nullptr;
};

struct Outcome {
        double map_ms = -1;
        double exit_ms = -1;
        Window window = 0;
        bool viewable = false;
        long wm_pid = 0;
        int status = 0;
        long rss_kb = -1, hwm_kb = -1, anon_kb = -1;
        int stopped = 0;
        double cpu_ms = -1;
        double xcpu_ms = -1;
};

const char* env_or_empty(const char* name)
{
        auto value = std::getenv(name);
        return value ? value : "";
}

double now_ms()
{
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

bool parse_options(int argc, char** argv, Options& options)
{
        for (int i = 1; i < argc; ++i) {
                std::string arg = argv[i];
                if (arg == "--" && i + 1 < argc) {
                        options.command = argv + i + 1;
                        return true;
                }
                if (i + 1 >= argc)
                        return false;
                if (arg == "--settle")
                        options.settle_ms = std::atoi(argv[++i]);
                else if (arg == "--stop")
                        options.stop_name = argv[++i];
                else if (arg == "--timeout")
                        options.timeout_s = std::atof(argv[++i]);
                else
                        return false;
        }
        return false;
}

// The fields of /proc/PID/status that tell the memory of a process, in kB.
void read_memory(long pid, Outcome& outcome)
{
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
                auto colon = line.find(':');
                if (colon == std::string::npos)
                        continue;
                auto key = line.substr(0, colon);
                long value = std::atol(line.c_str() + colon + 1);
                if (key == "VmRSS")
                        outcome.rss_kb = value;
                else if (key == "VmHWM")
                        outcome.hwm_kb = value;
                else if (key == "RssAnon")
                        outcome.anon_kb = value;
        }
}

// The parent and the command name of every process, from /proc/*/stat.
std::map<long, std::pair<long, std::string>> process_table()
{
        std::map<long, std::pair<long, std::string>> table;
        auto dir = opendir("/proc");
        if (!dir)
                return table;
        while (auto entry = readdir(dir)) {
                char* end = nullptr;
                long pid = std::strtol(entry->d_name, &end, 10);
                if (*end || pid <= 0)
                        continue;
                std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
                std::string line;
                std::getline(stat, line);
                auto open = line.find('('), close = line.rfind(')');
                if (open == std::string::npos || close == std::string::npos)
                        continue;
                long ppid = std::atol(line.c_str() + close + 4);
                table[pid] = {ppid, line.substr(open + 1, close - open - 1)};
        }
        closedir(dir);
        return table;
}

int stop_descendants(const std::vector<long>& roots, const std::string& name)
{
        auto table = process_table();
        int stopped = 0;
        for (auto const& [pid, entry] : table) {
                if (entry.second != name)
                        continue;
                for (long up = entry.first; up > 1;) {
                        bool hit = false;
                        for (long root : roots)
                                hit = hit || up == root;
                        if (hit) {
                                kill(pid_t(pid), SIGTERM);
                                ++stopped;
                                break;
                        }
                        auto parent = table.find(up);
                        up = parent == table.end() ? 0 : parent->second.first;
                }
        }
        return stopped;
}

// The window may be gone by the time its map event is read: a missing
// window is no reason to stop measuring.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

pid_t start(char** command, const sigset_t& blocked)
{
        auto pid = fork();
        if (pid == 0) {
                sigprocmask(SIG_UNBLOCK, &blocked, nullptr);
                execvp(command[0], command);
                std::perror(command[0]);
                _exit(127);
        }
        return pid;
}

// The owner of every top-level window, noted as soon as the window says it:
// a terminal that runs `true` may destroy its window a moment after the map,
// before the map event is read.
using Owners = std::map<Window, long>;

void watch_window(Display* display, Window window, Owners& owners)
{
        XSelectInput(display, window, PropertyChangeMask);
        owners[window] = window_pid(display, window);
}

void note_owner(Display* display, const XPropertyEvent& property, Owners& owners)
{
        if (property.atom != XInternAtom(display, "_NET_WM_PID", False))
                return;
        if (auto pid = window_pid(display, property.window))
                owners[property.window] = pid;
}

void handle_map(Display* display, const XMapEvent& map, double t0, Owners& owners,
                Outcome& outcome)
{
        if (outcome.window || map.override_redirect)
                return;
        outcome.map_ms = now_ms() - t0;
        outcome.window = map.window;
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, map.window, &attributes))
                outcome.viewable = attributes.map_state == IsViewable;
        outcome.wm_pid = window_pid(display, map.window);
        if (!outcome.wm_pid)
                outcome.wm_pid = owners[map.window];
}

void handle_events(Display* display, double t0, Owners& owners, Outcome& outcome)
{
        while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == CreateNotify && !event.xcreatewindow.override_redirect)
                        watch_window(display, event.xcreatewindow.window, owners);
                else if (event.type == PropertyNotify)
                        note_owner(display, event.xproperty, owners);
                else if (event.type == MapNotify)
                        handle_map(display, event.xmap, t0, owners, outcome);
        }
}

} // namespace

int main(int argc, char** argv)
{
        Options options;
        if (!parse_options(argc, argv, options)) {
                std::fprintf(stderr, "usage: launch [--settle MS] [--stop NAME] "
                                     "[--timeout S] -- COMMAND [ARGS...]\n");
                return 2;
        }
        auto display = XOpenDisplay(nullptr);
        if (!display) {
                std::fprintf(stderr, "launch: cannot open display\n");
                return 1;
        }
        XSetErrorHandler(ignore_errors);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);

        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGCHLD);
        sigprocmask(SIG_BLOCK, &blocked, nullptr);
        int child_fd = signalfd(-1, &blocked, SFD_CLOEXEC);

        Outcome outcome;
        long xvfb = std::atol(env_or_empty("BENCH_XVFB_PID"));
        double xcpu0 = process_cpu_ms(xvfb);
        double t0 = now_ms();
        pid_t child = start(options.command, blocked);
        bool settled = options.settle_ms < 0;
        double deadline = t0 + options.timeout_s * 1e3;

        Owners owners;
        while (outcome.exit_ms < 0) {
                handle_events(display, t0, owners, outcome);
                double wake = deadline;
                if (!settled && outcome.window)
                        wake = std::min(wake, t0 + outcome.map_ms + options.settle_ms);
                double now = now_ms();
                if (now >= deadline) {
                        kill(child, SIGKILL);
                        deadline = now + 5e3;
                        std::fprintf(stderr, "launch: timed out, killed %d\n", int(child));
                }
                if (!settled && outcome.window && now >= wake) {
                        read_memory(outcome.wm_pid ? outcome.wm_pid : child, outcome);
                        if (!options.stop_name.empty())
                                outcome.stopped = stop_descendants(
                                    {long(child), outcome.wm_pid}, options.stop_name);
                        settled = true;
                        continue;
                }
                pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {child_fd, POLLIN, 0}};
                poll(fds, 2, int(std::max(0.0, wake - now)) + 1);
                if (fds[1].revents & POLLIN) {
                        signalfd_siginfo info;
                        [[maybe_unused]] auto n = read(child_fd, &info, sizeof info);
                }
                int status = 0;
                rusage usage{};
                if (wait4(child, &status, WNOHANG, &usage) == child) {
                        outcome.exit_ms = now_ms() - t0;
                        outcome.cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
                        if (xcpu0 >= 0)
                                outcome.xcpu_ms = process_cpu_ms(xvfb) - xcpu0;
                        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status)
                                                           : -WTERMSIG(status);
                }
        }
        // A map seen in the same moment as the exit still counts.
        handle_events(display, t0, owners, outcome);
        std::printf("map_ms=%.3f exit_ms=%.3f window=0x%lx viewable=%d wm_pid=%ld "
                    "child_pid=%d status=%d vmrss_kb=%ld vmhwm_kb=%ld rssanon_kb=%ld "
                    "stopped=%d t0_ms=%.3f cpu_ms=%.3f xcpu_ms=%.3f\n",
                    outcome.map_ms, outcome.exit_ms, outcome.window, int(outcome.viewable),
                    outcome.wm_pid, int(child), outcome.status, outcome.rss_kb,
                    outcome.hwm_kb, outcome.anon_kb, outcome.stopped, t0, outcome.cpu_ms,
                    outcome.xcpu_ms);
        XCloseDisplay(display);
        return 0;
}
