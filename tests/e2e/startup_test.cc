// SPDX-License-Identifier: BSD-2-Clause
// The real program, started and ended the ways a user does.
#include "harness.hh"

#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Startup, ExitsZeroWhenTheChildExitsWithAnyStatus)
{
        for (auto script : {"exit 0", "exit 3", "exit 255", "kill -TERM $$", "kill -KILL $$"}) {
                SCOPED_TRACE(script);
                Brackenfold app{{"sh", "-c", script}};
                EXPECT_EQ(app.wait_exit(), 0) << app.err();
        }
}

TEST(Startup, ExitsZeroWhenTheWindowIsClosedWhileTheChildRuns)
{
        TempDir dir;
        Brackenfold app{{"sleep", "1000"}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
}

TEST(Startup, MissingProgramPrintsOnStdoutAndExitsOne)
{
        Brackenfold app{{"brackenfold-no-such-program"}};
        EXPECT_EQ(app.wait_exit(), 1);
        auto out = app.out();
        EXPECT_TRUE(out.starts_with("brackenfold: ")) << out;
        EXPECT_NE(out.find("brackenfold-no-such-program"), std::string::npos) << out;
        EXPECT_TRUE(out.ends_with('\n')) << out;
}

TEST(Startup, ToolkitLookingArgumentsReachTheChildUnchanged)
{
        TempDir dir;
        auto record = dir.file("args");
        Brackenfold app{{"sh", "-c", "printf '%s|' \"$@\" > \"$0\"", record,
                         "--display=:9", "--g-fatal-warnings", "two words"}};
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
        EXPECT_EQ(read_file(record), "--display=:9|--g-fatal-warnings|two words|");
}

// A relative XDG_CONFIG_HOME would name a directory below wherever the
// program is started, whose configuration (and so whose open-with programs)
// anyone who can write there chooses.
TEST(Startup, AConfigHomeThatIsNotAbsoluteIsIgnored)
{
        TempDir dir;
        auto home = dir.file("home");
        g_mkdir_with_parents((home + "/.config/brackenfold").c_str(), 0700);
        write_file(home + "/.config/brackenfold/config", "[misc]\nfrom-home=1\n");
        auto cwd = dir.file("cwd");
        g_mkdir_with_parents((cwd + "/rel/brackenfold").c_str(), 0700);
        write_file(cwd + "/rel/brackenfold/config", "[misc]\nfrom-relative=1\n");

        Brackenfold app{{"true"}, {{"HOME", home}, {"XDG_CONFIG_HOME", "rel"}}, cwd};
        EXPECT_EQ(app.wait_exit(), 0);
        EXPECT_EQ(app.err(), "brackenfold: unknown or duplicate key in config: misc.from-home\n");
}

TEST(Startup, ChildStartsInTheProgramsDirectory)
{
        TempDir dir;
        auto record = dir.file("cwd");
        Brackenfold app{{"sh", "-c", "pwd > \"$0\"", record}, {}, dir.path()};
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
        EXPECT_EQ(read_file(record), dir.path() + "\n");
}

TEST(Startup, WithoutArgumentsRunsTheShellFromShell)
{
        TempDir dir;
        auto shell = dir.file("shell");
        auto record = dir.file("ran");
        write_file(shell, "#!/bin/sh\necho \"$#\" > " + record + "\n", 0755);
        Brackenfold app{{}, {{"SHELL", shell}}};
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
        EXPECT_EQ(read_file(record), "0\n");
}

TEST(Startup, WindowHasTitleRgbaVisualAndStyledGrid)
{
        Brackenfold app{{"sleep", "1000"}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        auto props = xprop(window, {"WM_NAME"});
        EXPECT_NE(props.find("WM_NAME(STRING) = \"brackenfold\""), std::string::npos) << props;

        // Xvfb offers a 32-bit visual, so the window must use it.
        auto info = run({"xwininfo", "-id", std::to_string(window)});
        EXPECT_EQ(labelled_number(info, "Depth: "), 32) << info;

        // The style sheet's 2px padding around an 80x24 grid: the window is
        // exactly the base size plus whole cells, and may shrink to 28x3.
        auto hints = size_hints(window);
        ASSERT_GT(hints.inc_width, 0);
        ASSERT_GT(hints.inc_height, 0);
        EXPECT_EQ(hints.base_width, 4);
        EXPECT_EQ(hints.base_height, 4);
        EXPECT_EQ(labelled_number(info, "Width: "), 4 + 80 * hints.inc_width) << info;
        EXPECT_EQ(labelled_number(info, "Height: "), 4 + 24 * hints.inc_height) << info;
        EXPECT_EQ(hints.min_width, 4 + 28 * hints.inc_width);
        EXPECT_EQ(hints.min_height, 4 + 3 * hints.inc_height);
        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
}

// The window's _NET_WM_ICON as xprop prints it, once it holds an icon
// (it comes a moment after the first frame); the last reading otherwise.
std::string wait_for_icon(unsigned long window)
{
        std::string props;
        EXPECT_TRUE(wait_until([&] {
                props = xprop(window, {"_NET_WM_ICON"});
                return props.find("Icon (") != std::string::npos;
        })) << props;
        return props;
}

// The icon comes a moment after the window's first frame: a window manager
// that watches the property sees it arrive.
TEST(Startup, WindowGetsTheTerminalIcon)
{
        Brackenfold app{{"sleep", "1000"}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        auto props = wait_for_icon(window);
        EXPECT_NE(props.find("_NET_WM_ICON(CARDINAL)"), std::string::npos) << props;
        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
}

// A desktop whose icon theme has no "utilities-terminal" (Adwaita 48 has
// none) still shows an icon: the program's own, which the binary carries,
// drawn once at 48 pixels, not the theme's icons at several sizes.
TEST(Startup, WithoutTheThemesTerminalIconTheWindowShowsItsOwn)
{
        TempDir dir;
        auto theme = dir.file("data/icons/brackenfold-test");
        g_mkdir_with_parents(theme.c_str(), 0700);
        write_file(theme + "/index.theme", "[Icon Theme]\nName=brackenfold-test\nDirectories=\n");
        g_mkdir_with_parents(dir.file("config/gtk-3.0").c_str(), 0700);
        write_file(dir.file("config/gtk-3.0/settings.ini"),
                   "[Settings]\ngtk-icon-theme-name=brackenfold-test\n");
        // Only the test's theme: none of the machine's icons can stand in.
        Brackenfold app{{"sleep", "1000"},
                        {{"XDG_DATA_DIRS", dir.file("data")},
                         {"XDG_CONFIG_HOME", dir.file("config")}}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        auto props = wait_for_icon(window);
        EXPECT_EQ(count(props, "Icon ("), 1u) << props;
        EXPECT_NE(props.find("Icon (48 x 48)"), std::string::npos) << props;
        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
        EXPECT_EQ(app.err(), "");
}

} // namespace
