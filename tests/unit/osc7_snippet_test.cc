// SPDX-License-Identifier: BSD-2-Clause
// The shell snippets that the manual page and the README give for reporting
// the current directory: what they send must come back, through the same
// parsing and unescaping as the terminal's, as exactly the directory and
// this host, however awkward the directory's name.
#include "utils.hh"

#include <glib/gstdio.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

namespace {

std::string data_file(const std::string& name)
{
        auto srcdir = g_getenv("TEST_SRCDIR");
        if (!srcdir)
                throw std::runtime_error{"TEST_SRCDIR is not set"};
        return std::string{srcdir} + "/../data/" + name;
}

struct Shell {
        const char* program;
        const char* no_startup_files;
        const char* snippet;
};

const Shell shells[] = {
    {"bash", "--norc", "osc7.bash"},
    {"zsh", "-f", "osc7.zsh"},
};

const char* const awkward_names[] = {
    "plain",
    "two words",
    "per%cent and %20",
    "hash#query?semi;colon",
    "caf\xc3\xa9",
    "not utf-8 \xff\xfe",
    "quote'double\"back\\slash",
};

// What the snippet prints in `dir`.
std::string report_in(const Shell& shell, const std::string& dir)
{
        auto script = "source '" + data_file(shell.snippet) + "' && osc7_cwd";
        const char* argv[] = {shell.program, shell.no_startup_files, "-c", script.c_str(),
                              nullptr};
        char* out = nullptr;
        int status = 0;
        Error error;
        if (!g_spawn_sync(dir.c_str(), const_cast<char**>(argv), nullptr,
                          G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr, &status,
                          error.out()))
                throw std::runtime_error{std::string{shell.program} + ": " + error.message()};
        CharPtr owned{out};
        if (!g_spawn_check_wait_status(status, nullptr))
                throw std::runtime_error{std::string{shell.program} + " failed"};
        return out;
}

std::string host_name()
{
        char name[256] = {};
        gethostname(name, sizeof name - 1);
        return name;
}

class Osc7Snippet
    : public testing::TestWithParam<std::tuple<Shell, const char*>> {
protected:
        void SetUp() override
        {
                m_root = CharPtr{g_dir_make_tmp("brackenfold-osc7-XXXXXX", nullptr)}.get();
                ASSERT_FALSE(m_root.empty());
        }
        void TearDown() override
        {
                if (!m_dir.empty())
                        g_rmdir(m_dir.c_str());
                g_rmdir(m_root.c_str());
        }

        std::string make_dir(const std::string& name)
        {
                m_dir = m_root + "/" + name;
                if (g_mkdir(m_dir.c_str(), 0700) != 0)
                        throw std::runtime_error{"cannot create " + m_dir};
                return m_dir;
        }

private:
        std::string m_root;
        std::string m_dir;
};

TEST_P(Osc7Snippet, ReportsTheDirectoryAndThisHost)
{
        auto [shell, name] = GetParam();
        auto dir = make_dir(name);

        auto report = report_in(shell, dir);
        ASSERT_TRUE(report.starts_with("\033]7;")) << report;
        ASSERT_TRUE(report.ends_with("\033\\")) << report;
        auto text = report.substr(4, report.size() - 6);

        UriPtr uri{g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, nullptr)};
        ASSERT_TRUE(uri) << text;
        EXPECT_STREQ(g_uri_get_scheme(uri.get()), "file");
        EXPECT_EQ(optional_string(g_uri_get_host(uri.get())), host_name());
        EXPECT_EQ(g_uri_get_query(uri.get()), nullptr) << text;
        EXPECT_EQ(g_uri_get_fragment(uri.get()), nullptr) << text;
        CharPtr path{g_uri_unescape_string(g_uri_get_path(uri.get()), nullptr)};
        ASSERT_TRUE(path) << text;
        EXPECT_EQ(std::string{path.get()}, dir);
}

INSTANTIATE_TEST_SUITE_P(EveryShellAndName, Osc7Snippet,
                         testing::Combine(testing::ValuesIn(shells),
                                          testing::ValuesIn(awkward_names)),
                         [](const auto& info) {
                                 return std::string{std::get<0>(info.param).program} + "_" +
                                        std::to_string(info.index);
                         });

} // namespace
