// Real key presses, titles and bells, seen from outside the program: by the
// child that receives the keys, and by xprop as a window manager would.
#include "harness.hh"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

// What the program starts on Control+Shift+T and O goes to stand-ins: a
// `brackenfold` first on PATH and a default directory handler, both only
// noting that they ran.
std::map<std::string, std::string> stand_in_environment(const TempDir& dir)
{
        auto bin = dir.file("bin");
        auto data = dir.file("data");
        auto config = dir.file("config");
        for (auto& d : {bin, data, data + "/applications", config})
                mkdir(d.c_str(), 0700);
        write_file(bin + "/brackenfold",
                   "#!/bin/sh\necho \"$@\" >> " + dir.file("new-terminal") + "\n", 0755);
        write_file(bin + "/file-manager",
                   "#!/bin/sh\necho \"$@\" >> " + dir.file("file-manager") + "\n", 0755);
        write_file(data + "/applications/stand-in.desktop",
                   "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + bin +
                       "/file-manager %u\nMimeType=inode/directory;\n");
        write_file(config + "/mimeapps.list",
                   "[Default Applications]\ninode/directory=stand-in.desktop\n");
        return {{"PATH", bin + ":" + g_getenv("PATH")},
                {"XDG_DATA_HOME", data},
                {"XDG_CONFIG_HOME", config}};
}

bool exists(const std::string& path)
{
        return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

// The child takes its terminal raw and keeps every byte it receives.
TEST(Keys, ApplicationChordsNeverReachTheChild)
{
        TempDir dir;
        auto record = dir.file("record");
        auto ready = dir.file("ready");
        Brackenfold app{{"sh", "-c", "stty raw -echo && : > \"$1\" && exec cat > \"$0\"",
                         record, ready},
                        stand_in_environment(dir)};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        ASSERT_TRUE(wait_until([&] { return exists(ready); })) << app.err();

        // Control+Shift+X is no chord of ours: the child gets ^X.
        send_keys(window, {"ctrl+shift+c", "ctrl+shift+o", "ctrl+shift+r", "ctrl+shift+t",
                           "ctrl+shift+v", "ctrl+shift+alt+c", "ctrl+shift+super+v",
                           "ctrl+shift+x", "a"});
        EXPECT_TRUE(wait_until([&] { return read_file(record).ends_with("a"); }));
        EXPECT_EQ(read_file(record), "\x18" "a");

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
