// Clicks on links, the two context menus, the child's working directory and
// the programs started from them, on a real terminal.
#include "fixture.hh"

#include <glib/gstdio.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using EventPtr = Owned<GdkEvent, gdk_event_free>;

std::string data_path(const char* name)
{
        return CharPtr{g_build_filename(g_get_user_data_dir(), name, nullptr)}.get();
}

void write_file(const std::string& path, const std::string& text, int mode = 0644)
{
        std::ofstream{path, std::ios::binary | std::ios::trunc} << text;
        g_chmod(path.c_str(), mode);
}

// A script that appends one line per start: its working directory and its
// arguments, separated by tabs. One write per line, so a reader never sees
// half a record.
std::string recorder_script(const std::string& record)
{
        return "#!/bin/sh\nline=$(pwd)\nfor a; do line=\"$line\t$a\"; done\n"
               "printf '%s\\n' \"$line\" >> '" + record + "'\n";
}

// What the terminal started: programs through PATH ("brackenfold" and the
// open-with program "record-args") and the desktop's default handler for
// web links and directories.
class Recorders {
public:
        static Recorders& get()
        {
                static Recorders recorders;
                return recorders;
        }

        std::string spawned = data_path("spawned");
        std::string launched = data_path("launched");

        void clear()
        {
                g_unlink(spawned.c_str());
                g_unlink(launched.c_str());
        }

private:
        // Written before GIO first looks at the desktop's applications: it
        // caches what it found.
        Recorders()
        {
                auto bin = data_path("bin");
                auto apps = data_path("applications");
                g_mkdir_with_parents(bin.c_str(), 0700);
                g_mkdir_with_parents(apps.c_str(), 0700);
                write_file(bin + "/brackenfold", recorder_script(spawned), 0755);
                write_file(bin + "/record-args", recorder_script(spawned), 0755);
                write_file(bin + "/open-uri", recorder_script(launched), 0755);
                write_file(apps + "/links-recorder.desktop",
                           "[Desktop Entry]\nType=Application\nName=Recorder\n"
                           "Exec=" + bin + "/open-uri %u\n"
                           "MimeType=x-scheme-handler/http;x-scheme-handler/https;inode/directory;\n");
                auto config = CharPtr{g_build_filename(g_get_user_config_dir(), "mimeapps.list", nullptr)};
                write_file(config.get(),
                           "[Default Applications]\n"
                           "x-scheme-handler/http=links-recorder.desktop\n"
                           "x-scheme-handler/https=links-recorder.desktop\n"
                           "inode/directory=links-recorder.desktop\n");
        }
};

// Puts the recorders first on PATH for the life of a test.
class RecordersOnPath {
public:
        RecordersOnPath() : m_saved{g_getenv("PATH")}
        {
                g_setenv("PATH", (data_path("bin") + ":" + m_saved).c_str(), true);
        }
        ~RecordersOnPath() { g_setenv("PATH", m_saved.c_str(), true); }

private:
        std::string m_saved;
};

using Record = std::vector<std::string>;

std::vector<Record> read_records(const std::string& path)
{
        std::ifstream in{path};
        std::vector<Record> records;
        for (std::string line; std::getline(in, line);) {
                Record record;
                std::istringstream fields{line};
                for (std::string field; std::getline(fields, field, '\t');)
                        record.push_back(field);
                records.push_back(record);
        }
        return records;
}

// Waits until `count` programs have recorded their start.
std::vector<Record> wait_for_records(const std::string& path, size_t count)
{
        std::vector<Record> records;
        iterate_until([&] {
                records = read_records(path);
                return records.size() >= count;
        }, 10.0);
        return records;
}

std::string real_path(const std::string& path)
{
        auto resolved = MallocPtr{realpath(path.c_str(), nullptr)};
        return resolved ? resolved.get() : "";
}

std::string this_host()
{
        std::array<char, 256> name{};
        gethostname(name.data(), name.size() - 1);
        return name.data();
}

class LinksTest : public TerminalTest {
protected:
        void SetUp() override
        {
                Recorders::get().clear();
                TerminalTest::SetUp();
                gtk_widget_grab_focus(GTK_WIDGET(terminal->vte));
                ASSERT_TRUE(iterate_until([&] { return event_window() != nullptr; }));
        }

        RecordersOnPath on_path;

        void TearDown() override
        {
                gtk_menu_popdown(terminal->uri_context_menu);
                gtk_menu_popdown(terminal->standard_context_menu);
                TerminalTest::TearDown();
                if (!child_directory.empty())
                        g_rmdir(child_directory.c_str());
        }

        // Restarts the child in a fresh directory of its own, so that its
        // directory cannot be mistaken for this program's.
        void start_child_elsewhere()
        {
                child_directory = real_path(CharPtr{g_dir_make_tmp("child-XXXXXX", nullptr)}.get());
                ASSERT_FALSE(child_directory.empty());
                ASSERT_NE(child_directory, real_path(CharPtr{g_get_current_dir()}.get()));
                auto ready = child_directory + "/ready";
                command = {"sh", "-c", "cd \"$0\" && : > ready && exec sleep 1000",
                           child_directory};
                recreate();
                ASSERT_TRUE(iterate_until(
                    [&] { return g_file_test(ready.c_str(), G_FILE_TEST_EXISTS); }));
                g_unlink(ready.c_str());
        }

        std::string child_directory;

        // The terminal takes its mouse events on an input-only window of
        // its own, and reads pointer positions only from there.
        GdkWindow* event_window()
        {
                auto parent = gtk_widget_get_window(GTK_WIDGET(terminal->vte));
                if (!parent)
                        return nullptr;
                for (auto l = gdk_window_peek_children(parent); l; l = l->next) {
                        auto window = GDK_WINDOW(l->data);
                        gpointer owner = nullptr;
                        gdk_window_get_user_data(window, &owner);
                        if (owner == terminal->vte && gdk_window_is_input_only(window))
                                return window;
                }
                return nullptr;
        }

        EventPtr button_event(GdkEventType type, guint button, int column, int row,
                              guint state = 0)
        {
                GtkBorder padding{};
                auto widget = GTK_WIDGET(terminal->vte);
                gtk_style_context_get_padding(gtk_widget_get_style_context(widget),
                                              gtk_widget_get_state_flags(widget), &padding);
                auto width = vte_terminal_get_char_width(terminal->vte);
                auto height = vte_terminal_get_char_height(terminal->vte);

                auto event = EventPtr{gdk_event_new(type)};
                event->button.window = GDK_WINDOW(g_object_ref(event_window()));
                event->button.send_event = true;
                event->button.time = GDK_CURRENT_TIME;
                event->button.x = padding.left + (column + 0.5) * width;
                event->button.y = padding.top + (row + 0.5) * height;
                event->button.state = state;
                event->button.button = button;
                auto seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
                gdk_event_set_device(event.get(), gdk_seat_get_pointer(seat));
                return event;
        }

        gboolean press(guint button, int column, int row)
        {
                auto event = button_event(GDK_BUTTON_PRESS, button, column, row);
                return vte_button_press(GTK_WIDGET(terminal->vte), &event->button, terminal);
        }

        gboolean release(guint button, int column, int row, guint state = 0)
        {
                auto event = button_event(GDK_BUTTON_RELEASE, button, column, row, state);
                return vte_button_release(GTK_WIDGET(terminal->vte), &event->button, terminal);
        }

        // A menu is always "visible"; its popup window shows only while it
        // is up.
        bool shown(GtkMenu* menu)
        {
                return gtk_widget_get_visible(gtk_widget_get_toplevel(GTK_WIDGET(menu)));
        }

        bool sensitive(GtkWidget* item) { return gtk_widget_get_sensitive(item); }

        // Launches a link that proves the handler ran, so a test can tell
        // that an earlier click launched nothing.
        std::vector<Record> launches_after_marker()
        {
                show_text("https://marker.example/");
                release(1, 2, 0);
                return wait_for_records(Recorders::get().launched, 1);
        }
};

// A line with a pattern link at columns 4..26 and an explicit hyperlink,
// itself a pattern match, at 33..52.
const std::string link_line =
    "see https://example.com/page and "
    "\033]8;;https://hyper.example/x\033\\https://text.example\033]8;;\033\\";

TEST_F(LinksTest, RightClickOnALinkOpensTheLinkMenu)
{
        show_text(link_line);
        vte_terminal_select_all(terminal->vte);

        EXPECT_TRUE(press(3, 10, 0));
        EXPECT_TRUE(shown(terminal->uri_context_menu));
        EXPECT_FALSE(shown(terminal->standard_context_menu));
        EXPECT_EQ(terminal->priv->match_uri, "https://example.com/page");
        EXPECT_EQ(terminal->priv->hyperlink_uri, std::nullopt);
}

TEST_F(LinksTest, TheMatchWinsOverTheHyperlinkItCovers)
{
        vte_terminal_set_allow_hyperlink(terminal->vte, true);
        show_text(link_line);

        EXPECT_TRUE(press(3, 36, 0));
        EXPECT_TRUE(shown(terminal->uri_context_menu));
        EXPECT_EQ(terminal->priv->match_uri, "https://text.example");
        EXPECT_EQ(terminal->priv->hyperlink_uri, "https://hyper.example/x");

        // The menu's first item is "_Copy URI".
        auto items = gtk_container_get_children(GTK_CONTAINER(terminal->uri_context_menu));
        gtk_menu_item_activate(GTK_MENU_ITEM(items->data));
        g_list_free(items);
        for (auto clipboard : {terminal->priv->clipboard.get(), terminal->priv->primary.get()}) {
                auto text = CharPtr{gtk_clipboard_wait_for_text(clipboard)};
                ASSERT_TRUE(text);
                EXPECT_STREQ(text.get(), "https://text.example");
        }

        gtk_menu_popdown(terminal->uri_context_menu);
        release(1, 36, 0);
        auto records = wait_for_records(Recorders::get().launched, 1);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].at(1), "https://text.example");
}

TEST_F(LinksTest, RightClickElsewhereOpensTheStandardMenu)
{
        show_text(link_line);

        EXPECT_TRUE(press(3, 1, 0));
        EXPECT_TRUE(shown(terminal->standard_context_menu));
        EXPECT_FALSE(shown(terminal->uri_context_menu));
        EXPECT_EQ(terminal->priv->match_uri, std::nullopt);
        EXPECT_FALSE(sensitive(terminal->copy_item_text));
        EXPECT_FALSE(sensitive(terminal->copy_item_html));
        EXPECT_TRUE(sensitive(terminal->open_terminal_item));
        EXPECT_TRUE(sensitive(terminal->open_directory_item));
        gtk_menu_popdown(terminal->standard_context_menu);

        vte_terminal_select_all(terminal->vte);
        EXPECT_TRUE(press(3, 1, 3));
        EXPECT_TRUE(shown(terminal->standard_context_menu));
        EXPECT_TRUE(sensitive(terminal->copy_item_text));
        EXPECT_TRUE(sensitive(terminal->copy_item_html));
}

// The right button never reaches the terminal widget, whatever the running
// program asked for; the widget's own handler runs for every other button.
TEST_F(LinksTest, OnlyTheRightButtonIsHandled)
{
        show_text(link_line);
        auto right = button_event(GDK_BUTTON_PRESS, 3, 1, 0);
        EXPECT_TRUE(gtk_widget_event(GTK_WIDGET(terminal->vte), right.get()));
        EXPECT_TRUE(shown(terminal->standard_context_menu));
        gtk_menu_popdown(terminal->standard_context_menu);

        for (guint button : {2u, 8u}) {
                EXPECT_FALSE(press(button, 10, 0)) << button;
                EXPECT_FALSE(release(button, 10, 0)) << button;
        }
        EXPECT_FALSE(shown(terminal->standard_context_menu));
        EXPECT_FALSE(shown(terminal->uri_context_menu));
        EXPECT_FALSE(press(1, 10, 0));

        auto records = launches_after_marker();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].at(1), "https://marker.example/");
}

TEST_F(LinksTest, LeftClickOpensALinkWhateverTheModifiers)
{
        vte_terminal_set_allow_hyperlink(terminal->vte, true);
        show_text(link_line);

        EXPECT_FALSE(release(1, 10, 0, GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK));
        wait_for_records(Recorders::get().launched, 1);
        // An explicit hyperlink over plain text.
        show_text("\033]8;;https://hyper.example/only\033\\plain text\033]8;;\033\\");
        EXPECT_FALSE(release(1, 3, 0));

        auto records = wait_for_records(Recorders::get().launched, 2);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].at(1), "https://example.com/page");
        EXPECT_EQ(records[1].at(1), "https://hyper.example/only");
}

TEST_F(LinksTest, LeftClickWithASelectionOpensNothing)
{
        vte_terminal_set_allow_hyperlink(terminal->vte, true);
        show_text(link_line);
        vte_terminal_select_all(terminal->vte);
        EXPECT_FALSE(release(1, 10, 0));
        EXPECT_FALSE(release(1, 36, 0));
        // A click away from any link opens nothing either.
        vte_terminal_unselect_all(terminal->vte);
        EXPECT_FALSE(release(1, 1, 0));
        EXPECT_EQ(terminal->priv->match_uri, std::nullopt);

        auto records = launches_after_marker();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].at(1), "https://marker.example/");
}

TEST_F(LinksTest, HoveringAHyperlinkShowsItReadably)
{
        g_signal_emit_by_name(terminal->vte, "hyperlink-hover-uri-changed",
                              "https://xn--bcher-kva.de/a%20b", nullptr);
        auto tooltip = CharPtr{gtk_widget_get_tooltip_text(GTK_WIDGET(terminal->vte))};
        ASSERT_TRUE(tooltip);
        EXPECT_STREQ(tooltip.get(), "https://bücher.de/a b");

        g_signal_emit_by_name(terminal->vte, "hyperlink-hover-uri-changed", nullptr, nullptr);
        EXPECT_FALSE(CharPtr{gtk_widget_get_tooltip_text(GTK_WIDGET(terminal->vte))});
}

// A link whose host cannot be shown in Unicode must still replace the
// tooltip of the one before: a stale tooltip would name another address
// than the one a click opens.
TEST_F(LinksTest, EachHoveredLinkReplacesTheTooltipWhateverItsHost)
{
        const std::array<std::pair<const char*, const char*>, 3> links{{
            {"https://bank.example/login", "https://bank.example/login"},
            {"https://a.xn--nxa00q000s00006b.b@attacker.example/login",
             "https://a.xn--nxa00q000s00006b.b@attacker.example/login"},
            {"https://xn--bcher-kva.example/%FF%20", "https://bücher.example/%FF%20"},
        }};
        for (auto [uri, shown] : links) {
                g_signal_emit_by_name(terminal->vte, "hyperlink-hover-uri-changed", uri,
                                      nullptr);
                auto tooltip = CharPtr{gtk_widget_get_tooltip_text(GTK_WIDGET(terminal->vte))};
                ASSERT_TRUE(tooltip) << uri;
                EXPECT_TRUE(g_utf8_validate(tooltip.get(), -1, nullptr)) << uri;
                EXPECT_STREQ(tooltip.get(), shown);
        }
}

TEST_F(LinksTest, OpenWithReplacesWholePercentArguments)
{
        show_text(link_line);
        press(3, 10, 0);
        gtk_menu_popdown(terminal->uri_context_menu);

        uri_open_with(terminal, {"Record", {"record-args", "--url=%", "%", "%"}});
        auto records = wait_for_records(Recorders::get().spawned, 1);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0], (Record{real_path(CharPtr{g_get_current_dir()}.get()), "--url=%",
                                      "https://example.com/page", "https://example.com/page"}));
}

TEST_F(LinksTest, OpenOrCopyWithoutALinkDoesNothing)
{
        show_text(link_line);
        press(3, 1, 0);
        gtk_menu_popdown(terminal->standard_context_menu);
        std::array clipboards{terminal->priv->clipboard.get(), terminal->priv->primary.get()};
        for (auto clipboard : clipboards)
                gtk_clipboard_set_text(clipboard, "kept", -1);

        testing::internal::CaptureStderr();
        uri_open_with(terminal, {"Nothing", {"no-such-program", "%"}});
        uri_copy(nullptr, terminal);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(gtk_info_bar_get_revealed(terminal->infobar));
        for (auto clipboard : clipboards) {
                auto text = CharPtr{gtk_clipboard_wait_for_text(clipboard)};
                ASSERT_TRUE(text);
                EXPECT_STREQ(text.get(), "kept");
        }
}

// The error names the program as given, with characters that markup would
// take for tags and entities: the bar must show it as written.
TEST_F(LinksTest, AProgramThatCannotStartIsReportedAndTheBarStays)
{
        show_text(link_line);
        press(3, 10, 0);
        gtk_menu_popdown(terminal->uri_context_menu);

        testing::internal::CaptureStderr();
        uri_open_with(terminal, {"Broken", {"no-such-<b>-&-program", "%"}});
        auto err = testing::internal::GetCapturedStderr();

        const std::string message =
            "Failed to execute child process \u201cno-such-<b>-&-program\u201d "
            "(No such file or directory)";
        EXPECT_EQ(err, "brackenfold: " + message + "\n");
        EXPECT_TRUE(gtk_info_bar_get_revealed(terminal->infobar));
        EXPECT_EQ(gtk_info_bar_get_message_type(terminal->infobar), GTK_MESSAGE_ERROR);
        EXPECT_TRUE(gtk_info_bar_get_show_close_button(terminal->infobar));
        EXPECT_EQ(terminal->priv->infobar_timeout, std::nullopt);
        EXPECT_EQ(gtk_label_get_text(terminal->infobar_label), message);
}

// A directory the child reported need not be UTF-8: the bar shows the
// error with the stray bytes replaced, not the message before it.
TEST_F(LinksTest, AnErrorNamingANonUtf8PathIsStillShown)
{
        infobar_show(terminal, "an older message", GTK_MESSAGE_INFO, std::nullopt);
        testing::internal::CaptureStderr();
        spawn_detached(terminal, "/nonexistent/\xff\xfe", {"true"});
        auto err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("/nonexistent/\xff\xfe"), std::string::npos)
            << "standard error gets the raw bytes";
        std::string shown = gtk_label_get_text(terminal->infobar_label);
        EXPECT_TRUE(g_utf8_validate(shown.c_str(), -1, nullptr));
        EXPECT_NE(shown.find("/nonexistent/\uFFFD\uFFFD"), std::string::npos) << shown;
        EXPECT_EQ(gtk_info_bar_get_message_type(terminal->infobar), GTK_MESSAGE_ERROR);
}

TEST_F(LinksTest, OpenTerminalAndDirectoryWorkInTheChildsDirectory)
{
        ASSERT_NO_FATAL_FAILURE(start_child_elsewhere());
        auto const& directory = child_directory;
        open_terminal(nullptr, terminal);
        auto spawned = wait_for_records(Recorders::get().spawned, 1);
        ASSERT_EQ(spawned.size(), 1u);
        EXPECT_EQ(spawned[0], Record{directory});

        open_directory_here(terminal);
        auto launched = wait_for_records(Recorders::get().launched, 1);
        ASSERT_EQ(launched.size(), 1u);
        // The handler takes local files as paths.
        EXPECT_EQ(launched[0].at(1), directory);
}

TEST_F(LinksTest, WithoutADirectoryNothingOpens)
{
        terminal->priv->child_pid = G_MAXINT32;
        EXPECT_EQ(get_working_directory(terminal), std::nullopt);
        show_text(link_line);
        EXPECT_TRUE(press(3, 1, 0));
        EXPECT_FALSE(sensitive(terminal->open_terminal_item));
        EXPECT_FALSE(sensitive(terminal->open_directory_item));
        gtk_menu_popdown(terminal->standard_context_menu);

        testing::internal::CaptureStderr();
        open_terminal(nullptr, terminal);
        open_directory(nullptr, terminal);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_FALSE(gtk_info_bar_get_revealed(terminal->infobar));

        auto records = launches_after_marker();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].at(1), "https://marker.example/");
        EXPECT_EQ(read_records(Recorders::get().spawned).size(), 0u);
}

// --- Which directory reports are believed --------------------------------

struct ReportCase {
        const char* name;
        // The report, with HOST and DIR standing for this host's name and a
        // fresh directory; "" sends none.
        std::string uri;
        bool prefer_osc7;
        // Whether the report is believed: DIR (with "/a b" when the report
        // names that) rather than the child's own directory, a third one.
        bool believed;
        bool subdirectory = false;
};

void PrintTo(ReportCase const& c, std::ostream* out)
{
        *out << c.name;
}

class DirectoryReportTest : public LinksTest,
                            public testing::WithParamInterface<ReportCase> {
protected:
        void TearDown() override
        {
                LinksTest::TearDown();
                g_unlink((directory + "/file").c_str());
                g_rmdir((directory + "/a b").c_str());
                g_rmdir(directory.c_str());
        }

        std::string directory;
};

std::string replace_all(std::string text, std::string_view from, std::string_view to)
{
        for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
                text.replace(at, from.size(), to);
        return text;
}

TEST_P(DirectoryReportTest, BelievesOnlyThisHostsReports)
{
        auto const& c = GetParam();
        ASSERT_NO_FATAL_FAILURE(start_child_elsewhere());
        directory = real_path(CharPtr{g_dir_make_tmp("cwd-XXXXXX", nullptr)}.get());
        g_mkdir((directory + "/a b").c_str(), 0700);
        ASSERT_TRUE(g_file_set_contents((directory + "/file").c_str(), "", 0, nullptr));

        auto config = std::make_shared<Config>(data_path("no-config"));
        config->prefer_osc7 = c.prefer_osc7;
        terminal->priv->config = config;

        auto uri = replace_all(replace_all(c.uri, "HOST", this_host()), "DIR", directory);
        show_text("\033]7;" + uri + "\a");

        auto expected = c.believed ? directory + (c.subdirectory ? "/a b" : "")
                                   : child_directory;
        testing::internal::CaptureStderr();
        EXPECT_EQ(get_working_directory(terminal), expected);
        open_terminal_here(terminal);
        open_directory_here(terminal);
        auto records = wait_for_records(Recorders::get().spawned, 1);
        auto launched = wait_for_records(Recorders::get().launched, 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0], Record{expected});
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_EQ(launched[0].at(1), expected);
        EXPECT_FALSE(gtk_info_bar_get_revealed(terminal->infobar));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectoryReportTest,
    testing::Values(
        ReportCase{"ThisHost", "file://HOSTDIR", true, true},
        ReportCase{"EscapedPath", "file://HOSTDIR/a%20b", true, true, true},
        ReportCase{"NotPreferred", "file://HOSTDIR", false, false},
        ReportCase{"OtherHost", "file://other.invalidDIR", true, false},
        ReportCase{"HostPrefix", "file://HOSTxDIR", true, false},
        ReportCase{"EmptyHost", "file://DIR", true, false},
        ReportCase{"LocalhostIsNotThisHost", "file://localhostDIR", true, false},
        ReportCase{"NulInPath", "file://HOSTDIR%00/x", true, false},
        ReportCase{"BadEscape", "file://HOSTDIR%zz", true, false},
        ReportCase{"NoReport", "", true, false},
        // A program must not get a file of its choosing opened with its
        // default application by "Open directory".
        ReportCase{"AFileIsNotADirectory", "file://HOSTDIR/file", true, false},
        ReportCase{"AFileWithATrailingSlash", "file://HOSTDIR/file/", true, false},
        ReportCase{"AFileWithADot", "file://HOSTDIR/file/.", true, false},
        ReportCase{"ASystemFile", "file://HOST/etc/passwd/", true, false},
        // Nothing to open there yet: the child's own directory is used.
        ReportCase{"AMissingDirectory", "file://HOSTDIR/missing/", true, false},
        ReportCase{"ResolvedBeforeUse", "file://HOSTDIR//a%20b/../a%20b/./", true, true, true}),
    [](auto const& info) { return std::string{info.param.name}; });

} // namespace
