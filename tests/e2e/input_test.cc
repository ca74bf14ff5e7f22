// SPDX-License-Identifier: BSD-2-Clause
// Real key presses, titles and bells, seen from outside the program: by the
// child that receives the keys, and by xprop as a window manager would.
#include "harness.hh"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

// What the program starts on Control+Shift+T and O goes to stand-ins: a
// `brackenfold` first on PATH and a default directory handler. Each adds a
// line to its file: the directory it runs in (the new terminal only) and
// its arguments, each in brackets.
std::map<std::string, std::string> stand_in_environment(const TempDir& dir)
{
        auto bin = dir.file("bin");
        auto data = dir.file("data");
        auto config = dir.file("config");
        for (auto& d : {bin, data, data + "/applications", config})
                mkdir(d.c_str(), 0700);
        auto recorder = [](const std::string& record, const std::string& first) {
                return "#!/bin/sh\nline=" + first +
                       "\nfor a; do line=\"$line[$a]\"; done\n"
                       "printf '%s\\n' \"$line\" >> '" + record + "'\n";
        };
        write_file(bin + "/brackenfold", recorder(dir.file("new-terminal"), "\"$(pwd -P) \""),
                   0755);
        write_file(bin + "/file-manager", recorder(dir.file("file-manager"), ""), 0755);
        write_file(data + "/applications/stand-in.desktop",
                   "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + bin +
                       "/file-manager %u\nMimeType=inode/directory;\n");
        write_file(config + "/mimeapps.list",
                   "[Default Applications]\ninode/directory=stand-in.desktop\n");
        return {{"PATH", bin + ":" + g_getenv("PATH")},
                {"XDG_DATA_HOME", data},
                {"XDG_CONFIG_HOME", config}};
}

std::string real_path(const std::string& path)
{
        auto resolved = take_text(realpath(path.c_str(), nullptr));
        return resolved.empty() ? path : resolved;
}

std::string file_uri(const std::string& path)
{
        return take_text(g_filename_to_uri(path.c_str(), nullptr, nullptr));
}

bool exists(const std::string& path)
{
        return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

// The child takes its terminal raw and keeps every byte it receives. It
// works in a directory of its own, not the program's: what Control+Shift+T
// and O open.
TEST(Keys, ApplicationChordsNeverReachTheChild)
{
        TempDir dir;
        auto record = dir.file("record");
        auto ready = dir.file("ready");
        auto work = real_path(dir.path()) + "/work dir";
        ASSERT_EQ(mkdir(work.c_str(), 0700), 0);
        Brackenfold app{{"sh", "-c",
                         "cd \"$2\" && stty raw -echo && : > \"$1\" && exec cat > \"$0\"",
                         record, ready, work},
                        stand_in_environment(dir), dir.path()};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        ASSERT_TRUE(wait_until([&] { return exists(ready); })) << app.err();

        // Control+Shift+X is no chord of ours: the child gets ^X.
        send_keys(window, {"ctrl+shift+c", "ctrl+shift+o", "ctrl+shift+r", "ctrl+shift+t",
                           "ctrl+shift+v", "ctrl+shift+alt+c", "ctrl+shift+super+v",
                           "ctrl+shift+x", "a"});
        EXPECT_TRUE(wait_until([&] { return read_file(record).ends_with("a"); }));
        EXPECT_EQ(read_file(record), "\x18" "a");

        // A new terminal in the child's directory, and the directory handed
        // to the default handler for directories (which gets it as a URI or,
        // local as it is, as a path), each once.
        auto new_terminal = dir.file("new-terminal");
        auto file_manager = dir.file("file-manager");
        const std::string terminal_line = work + " \n";
        auto directory_line = testing::AnyOf("[" + file_uri(work) + "]\n", "[" + work + "]\n");
        EXPECT_TRUE(wait_until([&] { return read_file(new_terminal).ends_with("\n"); }));
        EXPECT_TRUE(wait_until([&] { return read_file(file_manager).ends_with("\n"); }));
        EXPECT_EQ(read_file(new_terminal), terminal_line);
        EXPECT_THAT(read_file(file_manager), directory_line);

        // Control+Shift+F moves the focus into the search entry; a click on
        // the terminal brings it back.
        send_keys(window, {"ctrl+shift+f"});
        run({"xdotool", "mousemove", "--window", std::to_string(window), "40", "40",
             "click", "1"});
        send_keys(window, {"b"});
        EXPECT_TRUE(wait_until([&] { return read_file(record).ends_with("b"); }));
        EXPECT_EQ(read_file(record), "\x18" "ab");

        // Caps Lock turns Shift's letters to lower case: the chords still work.
        send_keys(window, {"Caps_Lock", "ctrl+shift+c", "ctrl+shift+v", "ctrl+shift+r",
                           "ctrl+shift+x", "Caps_Lock", "d"});
        EXPECT_TRUE(wait_until([&] { return read_file(record).ends_with("d"); }));
        EXPECT_EQ(read_file(record), "\x18" "ab" "\x18" "d");

        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
        EXPECT_EQ(read_file(new_terminal), terminal_line);
        EXPECT_THAT(read_file(file_manager), directory_line);
}

// A warning at start-up shows the notification bar with its close button
// before the window first appears; the keyboard must still go to the
// terminal, not to that button.
TEST(Keys, TypingWorksWhileAStartUpWarningIsShown)
{
        TempDir dir;
        auto config = dir.file("config");
        mkdir(config.c_str(), 0700);
        mkdir((config + "/brackenfold").c_str(), 0700);
        write_file(config + "/brackenfold/config", "[misc]\nno-such-key=1\n");
        auto record = dir.file("record");
        auto ready = dir.file("ready");
        Brackenfold app{{"sh", "-c", "stty raw -echo && : > \"$1\" && exec cat > \"$0\"",
                         record, ready},
                        {{"XDG_CONFIG_HOME", config}}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        ASSERT_NE(app.err().find("misc.no-such-key"), std::string::npos) << app.err();
        ASSERT_TRUE(wait_until([&] { return exists(ready); })) << app.err();

        send_keys(window, {"a", "space", "b"});
        EXPECT_TRUE(wait_until([&] { return read_file(record) == "a b"; }))
            << "the child received \"" << read_file(record) << "\"";

        close_window(window);
        EXPECT_EQ(app.wait_exit(), 0);
}

// The child copies whatever the test writes into a FIFO to the terminal.
class Fed : public testing::Test {
protected:
        void SetUp() override
        {
                ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
                window = app.wait_for_window();
                ASSERT_NE(window, 0u) << app.err();
        }
        void TearDown() override
        {
                if (window)
                        close_window(window);
                EXPECT_EQ(app.wait_exit(), 0);
        }

        void feed(const std::string& bytes)
        {
                std::ofstream{fifo, std::ios::binary} << bytes;
        }

        ::testing::AssertionResult shows(const std::vector<std::string>& props,
                                         const std::string& text)
        {
                std::string seen;
                if (wait_until([&] {
                            seen = xprop(window, props);
                            return seen.find(text) != std::string::npos;
                    }))
                        return ::testing::AssertionSuccess();
                return ::testing::AssertionFailure() << "xprop shows: " << seen;
        }

        TempDir dir;
        std::string fifo = dir.file("fifo");
        Brackenfold app{{"sh", "-c", "while :; do cat \"$0\"; done", fifo}};
        unsigned long window = 0;
};

TEST_F(Fed, WindowTitleFollowsTheTerminalTitle)
{
        EXPECT_TRUE(shows({"WM_NAME"}, "WM_NAME(STRING) = \"brackenfold\"\n"));
        feed("\033]2;first title\007");
        EXPECT_TRUE(shows({"WM_NAME", "_NET_WM_NAME"},
                          "WM_NAME(STRING) = \"first title - brackenfold\"\n"
                          "_NET_WM_NAME(UTF8_STRING) = \"first title - brackenfold\"\n"));
        feed("\033]0;second\007");
        EXPECT_TRUE(shows({"_NET_WM_NAME"},
                          "_NET_WM_NAME(UTF8_STRING) = \"second - brackenfold\"\n"));
        feed("\033]2;\007");
        EXPECT_TRUE(shows({"WM_NAME", "_NET_WM_NAME"},
                          "WM_NAME(STRING) = \"brackenfold\"\n"
                          "_NET_WM_NAME(UTF8_STRING) = \"brackenfold\"\n"));
}

TEST_F(Fed, BellMakesTheWindowUrgent)
{
        EXPECT_EQ(xprop(window, {"WM_HINTS"}).find("urgency hint"), std::string::npos);
        feed("\007");
        EXPECT_TRUE(shows({"WM_HINTS"}, "The urgency hint bit is set"));
}

} // namespace
