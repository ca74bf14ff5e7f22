// SPDX-License-Identifier: BSD-2-Clause
#include "utils.hh"

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// Restores SHELL however a test leaves it.
class ShellTest : public testing::Test {
protected:
        void SetUp() override { m_saved = optional_string(g_getenv("SHELL")); }
        void TearDown() override
        {
                if (m_saved)
                        g_setenv("SHELL", m_saved->c_str(), true);
                else
                        g_unsetenv("SHELL");
        }

        static std::string login_shell()
        {
                auto pw = getpwuid(getuid());
                if (pw && pw->pw_shell && *pw->pw_shell)
                        return pw->pw_shell;
                return "/bin/sh";
        }

private:
        std::optional<std::string> m_saved;
};

TEST_F(ShellTest, UsesShellWhenSet)
{
        g_setenv("SHELL", "/opt/some shell/fish", true);
        EXPECT_EQ(Utils::get_shell(), "/opt/some shell/fish");
}

// The value of SHELL, or nullopt for no SHELL at all.
class ShellFallbackTest : public ShellTest,
                          public testing::WithParamInterface<std::optional<std::string>> {};

TEST_P(ShellFallbackTest, FallsBackToTheUserDatabase)
{
        if (auto const& shell = GetParam())
                g_setenv("SHELL", shell->c_str(), true);
        else
                g_unsetenv("SHELL");
        EXPECT_EQ(Utils::get_shell(), login_shell());
}

INSTANTIATE_TEST_SUITE_P(EmptyOrUnset, ShellFallbackTest,
                         testing::Values(std::optional<std::string>{""}, std::nullopt),
                         [](auto const& info) { return info.param ? "Empty" : "Unset"; });

} // namespace

namespace {

TEST(Warning, PrintsOneLineUnchanged)
{
        testing::internal::CaptureStderr();
        warning("a <b>&amp; \"quoted\"\nsecond line");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "brackenfold: a <b>&amp; \"quoted\"\nsecond line\n");
}

TEST(Warning, NullMessageIsRefusedByName)
{
        std::string logged;
        auto fatal = g_log_set_always_fatal(GLogLevelFlags(G_LOG_FATAL_MASK));
        auto id = g_log_set_handler(
            nullptr, G_LOG_LEVEL_CRITICAL,
            [](const char*, GLogLevelFlags, const char* message, gpointer data) {
                    *static_cast<std::string*>(data) = message;
            },
            &logged);
        testing::internal::CaptureStderr();
        warning(nullptr);
        auto printed = testing::internal::GetCapturedStderr();
        g_log_remove_handler(nullptr, id);
        g_log_set_always_fatal(fatal);

        EXPECT_EQ(logged, "warning: assertion 'message != NULL' failed");
        EXPECT_EQ(printed, "");
}

} // namespace
