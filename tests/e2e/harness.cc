// SPDX-License-Identifier: BSD-2-Clause
#include "harness.hh"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <memory>
#include <stdexcept>

extern char** environ;

TempDir::TempDir()
{
        std::string templ = std::string{g_get_tmp_dir()} + "/brackenfold-e2e.XXXXXX";
        if (!g_mkdtemp(templ.data()))
                throw std::runtime_error{"cannot create a temporary directory"};
        m_path = templ;
}

TempDir::~TempDir()
{
        run({"rm", "-rf", m_path});
}

std::string read_file(const std::string& path)
{
        std::ifstream in{path, std::ios::binary};
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
}

void write_file(const std::string& path, const std::string& text, int mode)
{
        {
                std::ofstream out{path, std::ios::binary | std::ios::trunc};
                out << text;
        }
        chmod(path.c_str(), mode_t(mode));
}

size_t count(const std::string& text, const std::string& part)
{
        size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
                ++n;
        return n;
}

static std::vector<char*> c_vector(std::vector<std::string>& words)
{
        std::vector<char*> v;
        for (auto& w : words)
                v.push_back(w.data());
        v.push_back(nullptr);
        return v;
}

std::string take_text(char* text)
{
        auto owned = std::unique_ptr<char, decltype(&g_free)>{text, g_free};
        return owned ? owned.get() : "";
}

std::string run(const std::vector<std::string>& argv, int* status)
{
        auto words = argv;
        auto c_argv = c_vector(words);
        char* out = nullptr;
        int wait_status = 0;
        GError* raw_error = nullptr;
        if (!g_spawn_sync(nullptr, c_argv.data(), nullptr, G_SPAWN_SEARCH_PATH,
                          nullptr, nullptr, &out, nullptr, &wait_status, &raw_error)) {
                auto error = std::unique_ptr<GError, decltype(&g_error_free)>{raw_error,
                                                                              g_error_free};
                throw std::runtime_error{"cannot run " + argv[0] + ": " + error->message};
        }
        auto text = take_text(out);
        if (status)
                *status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
        return text;
}

// The test's environment with `env` added; an empty value removes the
// variable.
static std::vector<std::string> environment_with(const std::map<std::string, std::string>& env)
{
        std::map<std::string, std::string> merged;
        for (auto e = environ; *e; ++e) {
                std::string entry = *e;
                auto eq = entry.find('=');
                merged[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
        for (auto const& [k, v] : env) {
                if (v.empty())
                        merged.erase(k);
                else
                        merged[k] = v;
        }
        std::vector<std::string> words;
        for (auto const& [k, v] : merged)
                words.push_back(k + "=" + v);
        return words;
}

Process::Process(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env, const std::string& cwd)
{
        auto words = argv;
        auto c_argv = c_vector(words);
        auto env_words = environment_with(env);
        auto c_env = c_vector(env_words);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, m_dir.file("stdout").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, m_dir.file("stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!cwd.empty())
                posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        auto rc = posix_spawnp(&m_pid, c_argv[0], &actions, nullptr, c_argv.data(),
                               c_env.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
                throw std::runtime_error{"cannot run " + argv[0] + ": " + std::strerror(rc)};
}

Process::~Process()
{
        if (running()) {
                kill(m_pid, SIGKILL);
                wait_exit(5);
        }
}

bool Process::running()
{
        if (m_status)
                return false;
        int status = 0;
        auto rc = waitpid(m_pid, &status, WNOHANG);
        if (rc == 0)
                return true;
        if (rc == m_pid)
                m_status = WIFEXITED(status) ? WEXITSTATUS(status)
                                             : 128 + WTERMSIG(status);
        else
                m_status = -1;
        return false;
}

std::optional<int> Process::wait_exit(double seconds)
{
        wait_until([&] { return !running(); }, seconds);
        return m_status;
}

void Process::send_signal(int signo)
{
        if (running())
                kill(m_pid, signo);
}

void Process::stop(double seconds)
{
        send_signal(SIGTERM);
        if (!wait_exit(seconds))
                send_signal(SIGKILL);
        wait_exit(seconds);
}

std::string Process::out() const
{
        return read_file(m_dir.file("stdout"));
}

std::string Process::err() const
{
        return read_file(m_dir.file("stderr"));
}

static std::vector<std::string> brackenfold_argv(const std::vector<std::string>& args)
{
        auto binary = g_getenv("BRACKENFOLD");
        if (!binary)
                throw std::runtime_error{"BRACKENFOLD is not set"};
        std::vector<std::string> words{binary};
        words.insert(words.end(), args.begin(), args.end());
        return words;
}

Brackenfold::Brackenfold(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         const std::string& cwd)
    : Process{brackenfold_argv(args), env, cwd}
{
}

unsigned long Brackenfold::wait_for_window(double seconds)
{
        unsigned long window = 0;
        wait_until(
            [&] {
                    if (!running())
                            return true;
                    int status = 0;
                    auto ids = run({"xdotool", "search", "--onlyvisible", "--pid",
                                    std::to_string(pid())},
                                   &status);
                    if (status == 0 && !ids.empty())
                            window = std::stoul(ids);
                    return window != 0;
            },
            seconds);
        return window;
}

// The window a running window manager names on the root window and on
// itself (its root property outlives it); "" without one.
static std::string supporting_wm_check()
{
        auto check = [](const std::string& text) -> std::string {
                const std::string label = "window id # ";
                auto at = text.find(label);
                if (at == std::string::npos)
                        return "";
                at += label.size();
                return text.substr(at, text.find('\n', at) - at);
        };
        auto named = check(run({"xprop", "-root", "-notype", "_NET_SUPPORTING_WM_CHECK"}));
        if (named.empty())
                return "";
        int status = 0;
        auto own = check(
            run({"xprop", "-id", named, "-notype", "_NET_SUPPORTING_WM_CHECK"}, &status));
        return status == 0 && own == named ? named : "";
}

// What a window manager leaves on the root window when it goes (the
// display is never reset): the tests after it must find no trace of one.
static void remove_wm_root_properties()
{
        std::istringstream lines{run({"xprop", "-root"})};
        for (std::string line; std::getline(lines, line);) {
                auto name = line.substr(0, line.find_first_of("(:"));
                if (name.starts_with("_NET_") || name.starts_with("_OB_"))
                        run({"xprop", "-root", "-remove", name});
        }
}

WindowManager::WindowManager()
{
        if (!supporting_wm_check().empty()) {
                m_failure = "another window manager runs on the display";
                return;
        }
        try {
                m_process.emplace(std::vector<std::string>{"openbox", "--sm-disable"});
        } catch (std::exception const& e) {
                m_failure = e.what();
                return;
        }
        // The work area comes last in its start, just before it takes the
        // windows there are and starts to answer requests.
        auto started = [&] {
                return !supporting_wm_check().empty() &&
                       run({"xprop", "-root", "_NET_WORKAREA"}).find(" = ") != std::string::npos;
        };
        if (!wait_until([&] { return !m_process->running() || started(); }) ||
            !m_process->running())
                m_failure = "openbox did not start:\n" + m_process->err();
}

WindowManager::~WindowManager()
{
        if (!m_process)
                return;
        m_process->stop();
        remove_wm_root_properties();
}

bool WindowManager::manages(unsigned long window)
{
        return wait_until([&] {
                auto listed = run({"xprop", "-root", "_NET_CLIENT_LIST"});
                return listed.find(take_text(g_strdup_printf("0x%lx", window))) !=
                           std::string::npos &&
                       xprop(window, {"_NET_FRAME_EXTENTS"}).find(" = ") != std::string::npos;
        });
}

std::string xprop(unsigned long window, const std::vector<std::string>& props)
{
        std::vector<std::string> argv{"xprop", "-id", std::to_string(window)};
        argv.insert(argv.end(), props.begin(), props.end());
        return run(argv);
}

// xprop prints one field a line, e.g.
//     program specified minimum size: 284 by 73
// and nothing for a field that is not set.
SizeHints size_hints(unsigned long window)
{
        SizeHints h;
        auto text = xprop(window, {"WM_NORMAL_HINTS"});
        auto field = [&](const std::string& label, int& width, int& height) {
                std::istringstream lines{text};
                for (std::string line; std::getline(lines, line);) {
                        auto at = line.find(label);
                        if (at == std::string::npos)
                                continue;
                        int w = -1, ht = -1;
                        if (std::sscanf(line.c_str() + at + label.size(), "%d by %d", &w, &ht) == 2) {
                                width = w;
                                height = ht;
                        }
                        return;
                }
        };
        field("minimum size: ", h.min_width, h.min_height);
        field("resize increment: ", h.inc_width, h.inc_height);
        field("base size: ", h.base_width, h.base_height);
        return h;
}

int labelled_number(const std::string& text, const std::string& label)
{
        auto at = text.find(label);
        return at == std::string::npos ? -1 : std::stoi(text.substr(at + label.size()));
}

WindowSize window_size(unsigned long window)
{
        auto info = run({"xwininfo", "-id", std::to_string(window)});
        return {labelled_number(info, "Width: "), labelled_number(info, "Height: ")};
}

void close_window(unsigned long window)
{
        run({g_getenv("CLOSE_WINDOW"), std::to_string(window)});
}

void close_window_through_wm(unsigned long window)
{
        run({g_getenv("CLOSE_WINDOW"), "--through-wm", std::to_string(window)});
}

void set_window_state(unsigned long window, bool add, const std::vector<std::string>& states)
{
        std::vector<std::string> argv{g_getenv("WINDOW_STATE"), add ? "add" : "remove",
                                      std::to_string(window)};
        argv.insert(argv.end(), states.begin(), states.end());
        run(argv);
}

void send_keys(unsigned long window, const std::vector<std::string>& keys)
{
        run({"xdotool", "windowfocus", "--sync", std::to_string(window)});
        std::vector<std::string> argv{"xdotool", "key", "--clearmodifiers"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        run(argv);
}

void type_text(unsigned long window, const std::string& text)
{
        run({"xdotool", "windowfocus", "--sync", std::to_string(window)});
        run({"xdotool", "type", "--delay", "5", text});
}
