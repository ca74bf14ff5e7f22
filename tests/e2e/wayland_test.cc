// SPDX-License-Identifier: BSD-2-Clause
// The real program on a Wayland compositor, with no X display at all:
// it runs the child, reloads on SIGUSR1 and ends with the child.
#include "harness.hh"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <map>
#include <sstream>

extern char** environ;

namespace {

// A headless weston on a private runtime directory, stopped with the object.
class Weston {
public:
        Weston()
        {
                chmod(m_runtime.path().c_str(), 0700);
                m_socket = "brackenfold-" + std::to_string(getpid());
                std::vector<std::string> words{"weston", "--backend=headless-backend.so",
                                               "--socket=" + m_socket, "--idle-time=0",
                                               "--no-config"};
                std::vector<char*> argv;
                for (auto& w : words)
                        argv.push_back(w.data());
                argv.push_back(nullptr);

                auto env_words = environment();
                std::vector<char*> envp;
                for (auto& e : env_words)
                        envp.push_back(e.data());
                envp.push_back(nullptr);

                posix_spawn_file_actions_t actions;
                posix_spawn_file_actions_init(&actions);
                posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
                posix_spawn_file_actions_addopen(&actions, 1, log_path().c_str(),
                                                 O_WRONLY | O_CREAT | O_TRUNC, 0644);
                posix_spawn_file_actions_adddup2(&actions, 1, 2);
                auto rc = posix_spawnp(&m_pid, "weston", &actions, nullptr, argv.data(),
                                       envp.data());
                posix_spawn_file_actions_destroy(&actions);
                if (rc != 0) {
                        m_pid = -1;
                        m_failure = std::string{"weston cannot be run: "} + std::strerror(rc);
                        return;
                }
                auto socket = m_runtime.file(m_socket);
                struct stat st;
                if (!wait_until([&] { return stat(socket.c_str(), &st) == 0 || !running(); }) ||
                    !running())
                        m_failure = "weston did not start:\n" + read_file(log_path());
        }

        ~Weston()
        {
                if (running()) {
                        kill(m_pid, SIGTERM);
                        if (!wait_until([&] { return !running(); }, 5)) {
                                kill(m_pid, SIGKILL);
                                waitpid(m_pid, nullptr, 0);
                        }
                }
        }

        Weston(Weston const&) = delete;
        Weston& operator=(Weston const&) = delete;

        // Why the compositor is not there, if it is not.
        const std::string& failure() const { return m_failure; }

        // What a client needs to reach this compositor and no X server.
        std::map<std::string, std::string> client_environment() const
        {
                return {{"XDG_RUNTIME_DIR", m_runtime.path()},
                        {"WAYLAND_DISPLAY", m_socket},
                        {"GDK_BACKEND", "wayland"},
                        {"DISPLAY", ""}};
        }

private:
        std::string log_path() const { return m_log.file("weston.log"); }

        std::vector<std::string> environment() const
        {
                std::vector<std::string> env;
                for (auto e = environ; *e; ++e)
                        if (!g_str_has_prefix(*e, "XDG_RUNTIME_DIR=") &&
                            !g_str_has_prefix(*e, "WAYLAND_DISPLAY="))
                                env.emplace_back(*e);
                env.push_back("XDG_RUNTIME_DIR=" + m_runtime.path());
                return env;
        }

        bool running()
        {
                if (m_pid <= 0)
                        return false;
                if (waitpid(m_pid, nullptr, WNOHANG) == 0)
                        return true;
                m_pid = -1;
                return false;
        }

        TempDir m_runtime;
        TempDir m_log;
        std::string m_socket;
        pid_t m_pid = -1;
        std::string m_failure;
};

// Lines that report a failed precondition of the program itself (default
// log domain), as opposed to the toolkit's own.
std::string own_criticals(const std::string& err)
{
        std::string found;
        std::istringstream lines{err};
        for (std::string line; std::getline(lines, line);)
                if (line.find("): CRITICAL **") != std::string::npos ||
                    line.find("): WARNING **") != std::string::npos)
                        found += line + "\n";
        return found;
}

TEST(Wayland, RunsTheChildReloadsOnSigusr1AndExitsWithTheChild)
{
        Weston weston;
        if (!weston.failure().empty())
                GTEST_SKIP() << weston.failure();

        TempDir dir;
        g_mkdir_with_parents(dir.file("config/brackenfold").c_str(), 0700);
        write_file(dir.file("config/brackenfold/config"), "[misc]\ncursor-shape=triangle\n");

        auto env = weston.client_environment();
        env["XDG_CONFIG_HOME"] = dir.file("config");
        // A headless weston offers no input devices, and the toolkit reports
        // its missing seat as failed preconditions of its own from gtk_init
        // on: they must not abort the program here. The program's own
        // precondition failures are still checked below.
        env["G_DEBUG"] = "";

        auto ran = dir.file("ran");
        auto quit = dir.file("quit");
        Brackenfold app{{"sh", "-c",
                         "echo \"$WAYLAND_DISPLAY${DISPLAY:+ and X}\" > \"$0\"; "
                         "while [ ! -e \"$1\" ]; do sleep 0.05; done",
                         ran, quit},
                        env};

        ASSERT_TRUE(wait_until([&] { return !read_file(ran).empty() || !app.running(); }))
            << app.err();
        EXPECT_EQ(read_file(ran), env["WAYLAND_DISPLAY"] + "\n");

        std::string warning = "brackenfold: invalid cursor shape 'triangle' in misc.cursor-shape\n";
        ASSERT_TRUE(wait_until([&] { return count(app.err(), warning) == 1; })) << app.err();
        app.send_signal(SIGUSR1);
        EXPECT_TRUE(wait_until([&] { return count(app.err(), warning) == 2; })) << app.err();
        app.send_signal(SIGUSR1);
        EXPECT_TRUE(wait_until([&] { return count(app.err(), warning) == 3; })) << app.err();

        write_file(quit, "");
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
        EXPECT_EQ(own_criticals(app.err()), "");
}

} // namespace
