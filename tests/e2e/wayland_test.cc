// The real program on a Wayland compositor, with no X display at all:
// it runs the child, reloads on SIGUSR1 and ends with the child.
#include "harness.hh"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <optional>
#include <sstream>

namespace {

// A headless weston on a private runtime directory, stopped with the object.
class Weston {
public:
        Weston()
        {
                chmod(m_runtime.path().c_str(), 0700);
                m_socket = "brackenfold-" + std::to_string(getpid());
                try {
                        m_process.emplace(
                            std::vector<std::string>{"weston", "--backend=headless-backend.so",
                                                     "--socket=" + m_socket, "--idle-time=0",
                                                     "--no-config"},
                            std::map<std::string, std::string>{
                                {"XDG_RUNTIME_DIR", m_runtime.path()}, {"WAYLAND_DISPLAY", ""}});
                } catch (std::exception const& e) {
                        m_failure = e.what();
                        return;
                }
                auto socket = m_runtime.file(m_socket);
                struct stat st;
                if (!wait_until([&] {
                            return stat(socket.c_str(), &st) == 0 || !m_process->running();
                    }) ||
                    !m_process->running())
                        m_failure = "weston did not start:\n" + m_process->out() + m_process->err();
        }

        ~Weston()
        {
                if (m_process)
                        m_process->stop();
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
        TempDir m_runtime;
        std::string m_socket;
        std::optional<Process> m_process;
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
