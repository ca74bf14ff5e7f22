// SPDX-License-Identifier: BSD-2-Clause
// Runs the real brackenfold binary on the test's virtual display and
// watches it from outside, as a user and a window manager would.
#pragma once

#include <glib.h>
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

// A scratch directory removed with the object.
class TempDir {
public:
        TempDir();
        ~TempDir();
        TempDir(TempDir const&) = delete;
        TempDir& operator=(TempDir const&) = delete;
        const std::string& path() const { return m_path; }
        std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
        std::string m_path;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text, int mode = 0644);

// The text of a string that GLib or the C library allocated, which this
// frees; "" for none.
std::string take_text(char* text);

// How many times `part` occurs in `text`, overlapping occurrences included.
size_t count(const std::string& text, const std::string& part);

// Runs `argv` to completion; returns its standard output.
std::string run(const std::vector<std::string>& argv, int* status = nullptr);

// Polls `done` every 20 ms until it holds or `seconds` have passed.
template<typename F>
bool wait_until(F&& done, double seconds = 10.0)
{
        auto deadline = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
        while (!done()) {
                if (g_get_monotonic_time() > deadline)
                        return false;
                g_usleep(20000);
        }
        return true;
}

// A program the test runs, found on PATH, with standard input from
// /dev/null and its output kept; killed if it still runs when the object
// goes. `env` is added to the test's environment (an empty value removes
// the variable); `cwd` defaults to the test's.
class Process {
public:
        explicit Process(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env = {},
                         const std::string& cwd = {});
        ~Process();
        Process(Process const&) = delete;
        Process& operator=(Process const&) = delete;

        pid_t pid() const { return m_pid; }

        // The exit status once the process has ended; nothing on timeout.
        // A process killed by a signal reports 128 + the signal.
        std::optional<int> wait_exit(double seconds = 10.0);
        bool running();

        void send_signal(int signo);
        // SIGTERM, and SIGKILL if it is still there after `seconds`.
        void stop(double seconds = 5.0);

        std::string out() const; // standard output so far
        std::string err() const; // standard error so far

private:
        TempDir m_dir;
        pid_t m_pid = -1;
        std::optional<int> m_status;
};

// $BRACKENFOLD with `args`.
class Brackenfold : public Process {
public:
        explicit Brackenfold(const std::vector<std::string>& args,
                             const std::map<std::string, std::string>& env = {},
                             const std::string& cwd = {});

        // The mapped top-level window of this process (0 on timeout).
        unsigned long wait_for_window(double seconds = 10.0);
};

// openbox on the test's display while the object lives; until it has
// taken the display, and after it has gone, no window manager runs there.
class WindowManager {
public:
        WindowManager();
        ~WindowManager();
        WindowManager(WindowManager const&) = delete;
        WindowManager& operator=(WindowManager const&) = delete;

        // Why it is not running, if it is not.
        const std::string& failure() const { return m_failure; }

        // Waits until it manages `window`: frames it and lists it.
        bool manages(unsigned long window);

private:
        std::optional<Process> m_process;
        std::string m_failure;
};

// What `xprop -id WID PROPS...` prints.
std::string xprop(unsigned long window, const std::vector<std::string>& props);

// What a window manager reads in WM_NORMAL_HINTS; -1 for a field the
// window does not set.
struct SizeHints {
        int min_width = -1, min_height = -1;
        int inc_width = -1, inc_height = -1;
        int base_width = -1, base_height = -1;
};
SizeHints size_hints(unsigned long window);

// The number after `label` in `text` (as xwininfo prints fields), or -1.
int labelled_number(const std::string& text, const std::string& label);

// The window's size in pixels, as xwininfo reports it.
struct WindowSize {
        int width = -1, height = -1;
        friend bool operator==(WindowSize, WindowSize) = default;
};
WindowSize window_size(unsigned long window);

// WM_DELETE_WINDOW, as a window manager's close button sends it.
void close_window(unsigned long window);
// _NET_CLOSE_WINDOW: asks the window manager to close the window, as a
// task bar or a pager does; the window manager sends WM_DELETE_WINDOW.
void close_window_through_wm(unsigned long window);
// _NET_WM_STATE: asks the window manager to add (or remove) `states` of the
// window, such as {"MAXIMIZED_VERT", "MAXIMIZED_HORZ"} or {"FULLSCREEN"}.
void set_window_state(unsigned long window, bool add, const std::vector<std::string>& states);

// Gives the window the keyboard focus and types keys with xdotool
// (e.g. "ctrl+shift+c").
void send_keys(unsigned long window, const std::vector<std::string>& keys);
void type_text(unsigned long window, const std::string& text);
