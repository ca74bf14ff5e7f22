// The real program, started and ended the ways a user does.
#include "harness.hh"

#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

namespace {

TEST(Startup, ExitsZeroWhenTheChildExitsWithAnyStatus)
{
        Brackenfold app{{"sh", "-c", "exit 3"}};
        EXPECT_EQ(app.wait_exit(), 0);
}

TEST(Startup, ExitsZeroWhenTheWindowIsClosedWhileTheChildRuns)
{
        TempDir dir;
        Brackenfold app{{"sleep", "1000"}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
}

TEST(Startup, MissingProgramPrintsOnStdoutAndExitsOne)
{
        Brackenfold app{{"brackenfold-no-such-program"}};
        EXPECT_EQ(app.wait_exit(), 1);
        auto out = app.out();
        EXPECT_TRUE(out.starts_with("brackenfold: ")) << out;
        EXPECT_NE(out.find("brackenfold-no-such-program"), std::string::npos) << out;
        EXPECT_EQ(out.back(), '\n');
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

TEST(Startup, WindowHasTitleIconNameAndSizeHints)
{
        Brackenfold app{{"sleep", "1000"}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        auto props = xprop(window, {"WM_NAME", "_NET_WM_ICON_NAME", "WM_NORMAL_HINTS"});
        EXPECT_NE(props.find("WM_NAME(STRING) = \"brackenfold\""), std::string::npos) << props;
        EXPECT_NE(props.find("minimum size"), std::string::npos) << props;
        EXPECT_NE(props.find("base size"), std::string::npos) << props;
        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
}

} // namespace
