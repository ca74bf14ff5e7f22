// SPDX-License-Identifier: BSD-2-Clause
// Reloading the configuration of the running program with SIGUSR1.
#include "harness.hh"

#include <glib/gstdio.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>

namespace {

class Reload : public testing::Test {
protected:
        void write_config(const std::string& text)
        {
                g_mkdir_with_parents(config_home.file("brackenfold").c_str(), 0700);
                write_file(config_home.file("brackenfold/config"), text);
        }
        std::map<std::string, std::string> env() const
        {
                return {{"XDG_CONFIG_HOME", config_home.path()}};
        }

        TempDir config_home;
};

TEST_F(Reload, WarningsGoToStandardErrorAtStartAndOnEachReload)
{
        write_config("[colours]\nforeground=nocolour\n");
        Brackenfold app{{"sleep", "1000"}, env()};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        const std::string first =
            "brackenfold: invalid colour 'nocolour' in colours.foreground\n";
        EXPECT_EQ(app.err(), first);

        write_config("[misc]\ncursor-shape=triangle\nspare=<x>\n");
        app.send_signal(SIGUSR1);
        const std::string second =
            "brackenfold: invalid cursor shape 'triangle' in misc.cursor-shape\n"
            "brackenfold: unknown or duplicate key in config: misc.spare\n";
        EXPECT_TRUE(wait_until([&] { return app.err() == first + second; })) << app.err();

        // A clean file reports only in the window. Its larger font shows in
        // the size hints once it has been read; a later file with a warning
        // shows that nothing came in between.
        auto before = size_hints(window);
        ASSERT_GT(before.inc_width, 0);
        write_config("[misc]\ncursor-shape=beam\nfont=Monospace 24\n");
        app.send_signal(SIGUSR1);
        EXPECT_TRUE(wait_until([&] { return size_hints(window).inc_width > before.inc_width; }))
            << app.err();
        EXPECT_EQ(app.err(), first + second);
        write_config("[misc]\nlast=1\n");
        app.send_signal(SIGUSR1);
        const std::string last = "brackenfold: unknown or duplicate key in config: misc.last\n";
        EXPECT_TRUE(wait_until([&] { return app.err().ends_with(last); })) << app.err();
        EXPECT_EQ(app.err(), first + second + last);

        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
}

// The child takes its terminal raw and keeps every byte it receives: a key
// reaches it only while the program's own main loop is turning.
TEST_F(Reload, BurstOfSignalsLeavesTheProgramAliveAndResponsive)
{
        TempDir dir;
        auto record = dir.file("record");
        auto ready = dir.file("ready");
        Brackenfold app{{"sh", "-c", "stty raw -echo && : > \"$1\" && exec cat > \"$0\"",
                         record, ready},
                        env()};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        ASSERT_TRUE(wait_until([&] { return g_file_test(ready.c_str(), G_FILE_TEST_EXISTS); }));
        ASSERT_EQ(app.err(), "");

        // Every reload that is really carried out prints this line; the
        // file appears only now, so the count starts from nothing.
        write_config("[misc]\nmarker=1\n");
        const std::string marker = "misc.marker\n";
        for (int i = 0; i < 1000; ++i)
                app.send_signal(SIGUSR1);
        // Signals that arrive together are carried out together: at least
        // one reload, at most one per signal.
        EXPECT_TRUE(wait_until([&] { return count(app.err(), marker) >= 1; })) << app.err();
        ASSERT_TRUE(app.running());
        type_text(window, "k");
        EXPECT_TRUE(wait_until([&] { return read_file(record) == "k"; })) << read_file(record);

        // Reloads are carried out in order: once the file that follows has
        // been read, no reload of the burst is left to come.
        write_config("[misc]\nafter=1\n");
        app.send_signal(SIGUSR1);
        EXPECT_TRUE(wait_until([&] { return count(app.err(), "misc.after\n") >= 1; }))
            << app.err();
        EXPECT_LE(count(app.err(), marker), 1000u);

        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
}

// Whether `pid` has a handler of its own for `signo`.
bool catches(pid_t pid, int signo)
{
        std::ifstream status{"/proc/" + std::to_string(pid) + "/status"};
        for (std::string line; std::getline(status, line);)
                if (line.starts_with("SigCgt:"))
                        return (std::stoull(line.substr(7), nullptr, 16) >> (signo - 1)) & 1;
        return false;
}

// An X display whose server takes connections and never answers them: a
// program connecting to it waits inside the toolkit's start, before anything
// of its own is built.
class SilentDisplay {
public:
        SilentDisplay()
        {
                mkdir("/tmp/.X11-unix", 01777);
                for (int number = 200; number < 400 && m_listener < 0; ++number) {
                        auto path = "/tmp/.X11-unix/X" + std::to_string(number);
                        if (access(path.c_str(), F_OK) == 0)
                                continue;
                        m_listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                        sockaddr_un address{};
                        address.sun_family = AF_UNIX;
                        std::snprintf(address.sun_path, sizeof address.sun_path, "%s",
                                      path.c_str());
                        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address),
                                 sizeof address) == 0 &&
                            listen(m_listener, 4) == 0) {
                                m_path = path;
                                m_name = ":" + std::to_string(number);
                        } else {
                                close(m_listener);
                                m_listener = -1;
                        }
                }
        }
        ~SilentDisplay() { hang_up(); }
        SilentDisplay(SilentDisplay const&) = delete;
        SilentDisplay& operator=(SilentDisplay const&) = delete;

        const std::string& name() const { return m_name; }

        bool wait_for_client(double seconds)
        {
                pollfd waiting{m_listener, POLLIN, 0};
                if (poll(&waiting, 1, int(seconds * 1000)) != 1)
                        return false;
                m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                return m_client >= 0;
        }

        void hang_up()
        {
                for (int* fd : {&m_client, &m_listener})
                        if (*fd >= 0) {
                                close(*fd);
                                *fd = -1;
                        }
                if (!m_path.empty())
                        unlink(m_path.c_str());
                m_path.clear();
        }

private:
        int m_listener = -1;
        int m_client = -1;
        std::string m_path;
        std::string m_name;
};

// A script that signals every window after editing the file must not close
// one that is still opening: SIGUSR1 is caught from the very start, while
// the toolkit still waits for the display.
TEST_F(Reload, ASignalWhileTheWindowIsStillOpeningIsNotFatal)
{
        SilentDisplay display;
        ASSERT_FALSE(display.name().empty()) << "no free display number";
        Brackenfold app{{"sleep", "1000"}, {{"DISPLAY", display.name()}}};
        ASSERT_TRUE(display.wait_for_client(10.0)) << app.err();
        ASSERT_TRUE(catches(app.pid(), SIGUSR1))
            << "SIGUSR1 is not caught while the toolkit starts";
        app.send_signal(SIGUSR1);
        EXPECT_FALSE(wait_until([&] { return !app.running(); }, 0.3)) << app.err();

        // The display goes away: the toolkit gives up with status 1, where
        // the signal would have ended the program with 128 + SIGUSR1.
        display.hang_up();
        EXPECT_EQ(app.wait_exit(), 1) << app.err();
}

TEST_F(Reload, GeometryHintsFollowTheCellsAndKeepTheBase)
{
        Brackenfold app{{"sleep", "1000"}, env()};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        auto start = size_hints(window);
        // The base is the style sheet's 2px padding on each side of the
        // grid; the scroll bar overlays the terminal.
        EXPECT_EQ(start.base_width, 4);
        EXPECT_EQ(start.base_height, 4);
        ASSERT_GT(start.inc_width, 0);
        ASSERT_GT(start.inc_height, 0);
        EXPECT_EQ(start.min_width, 4 + 28 * start.inc_width);
        EXPECT_EQ(start.min_height, 4 + 3 * start.inc_height);

        write_config("[misc]\nfont=Monospace 24\nresize-hints=false\n");
        app.send_signal(SIGUSR1);
        SizeHints now;
        EXPECT_TRUE(wait_until([&] {
                now = size_hints(window);
                return now.min_width != start.min_width;
        }));
        EXPECT_EQ(now.inc_width, 0);
        EXPECT_EQ(now.inc_height, 0);
        EXPECT_EQ(now.base_width, 4);
        EXPECT_EQ(now.base_height, 4);
        auto cell_width = (now.min_width - 4) / 28;
        auto cell_height = (now.min_height - 4) / 3;
        EXPECT_EQ(now.min_width, 4 + 28 * cell_width);
        EXPECT_EQ(now.min_height, 4 + 3 * cell_height);
        EXPECT_GT(cell_width, start.inc_width);
        EXPECT_GT(cell_height, start.inc_height);

        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
}

} // namespace
