// SPDX-License-Identifier: BSD-2-Clause
#include "fixture.hh"

#include <gmock/gmock.h>
#include <glib/gstdio.h>
#include <gtest/gtest-spi.h>
#include <sys/wait.h>

#include <cstring>

namespace {

// A freshly constructed terminal shows the terminal and nothing else.
TEST_F(TerminalTest, StartsWithOnlyTheTerminalShown)
{
        EXPECT_FALSE(gtk_revealer_get_reveal_child(terminal->search_revealer));
        // The bar's placeholder text is never on screen: the bar is hidden
        // until a real message replaces it.
        EXPECT_FALSE(gtk_info_bar_get_revealed(terminal->infobar));
        EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(terminal->search_button_up)));
        EXPECT_FALSE(gtk_widget_get_sensitive(GTK_WIDGET(terminal->search_button_down)));
        EXPECT_EQ(terminal_get_window(terminal), window);
        EXPECT_EQ(gtk_widget_get_parent(GTK_WIDGET(terminal)), GTK_WIDGET(window));
        EXPECT_GT(terminal->priv->child_pid, 0);
}

// A child whose first act is to look at its terminal's modes, and stay.
class ChildStartTest : public TerminalTest {
protected:
        void SetUp() override
        {
                dir = CharPtr{g_dir_make_tmp("child-start-XXXXXX", nullptr)};
                ASSERT_TRUE(dir);
                modes = std::string{dir.get()} + "/modes";
                command = {"sh", "-c", "stty -a > \"$0.new\" && mv \"$0.new\" \"$0\"; exec sleep 1000",
                           modes};
                TerminalTest::SetUp();
        }
        void TearDown() override
        {
                TerminalTest::TearDown();
                if (!dir)
                        return;
                g_remove(modes.c_str());
                g_rmdir(dir.get());
        }

        CharPtr dir;
        std::string modes;
};

// The terminal sets its pty up before the child runs, not while the child
// may be setting modes of its own (which it would undo): the child's first
// look finds it done, the terminal's UTF-8 input mode among it.
TEST_F(ChildStartTest, FindsItsTerminalSetUpAtItsFirstLook)
{
        std::string seen;
        ASSERT_TRUE(iterate_until([&] {
                gchar* text = nullptr;
                if (!g_file_get_contents(modes.c_str(), &text, nullptr, nullptr))
                        return false;
                seen = CharPtr{text}.get();
                return true;
        }));
        EXPECT_THAT(seen, testing::ContainsRegex("(^|[ \n])iutf8([ \n]|$)"));
}

TEST_F(TerminalTest, LinkMenuHasOnlyCopyUri)
{
        auto children = gtk_container_get_children(GTK_CONTAINER(terminal->uri_context_menu));
        std::vector<std::string> visible;
        for (auto l = children; l; l = l->next)
                if (gtk_widget_get_visible(GTK_WIDGET(l->data)))
                        visible.emplace_back(gtk_menu_item_get_label(GTK_MENU_ITEM(l->data)));
        g_list_free(children);
        EXPECT_EQ(visible, std::vector<std::string>{"_Copy URI"});
        EXPECT_FALSE(gtk_widget_get_visible(terminal->open_with_separator));
}

TEST_F(TerminalTest, WindowPropertyNotifiesOnlyOnChange)
{
        int notified = 0;
        auto id = g_signal_connect_swapped(terminal, "notify::window",
                                           G_CALLBACK(+[](int* n) { ++*n; }), &notified);
        g_object_set(terminal, "window", window, nullptr);
        EXPECT_EQ(notified, 0);
        auto other = GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
        g_object_set(terminal, "window", other, nullptr);
        EXPECT_EQ(notified, 1);
        GtkWindow* read = nullptr;
        g_object_get(terminal, "window", &read, nullptr);
        EXPECT_EQ(read, other);
        g_object_unref(read);
        terminal_set_window(terminal, window);
        EXPECT_EQ(notified, 2);
        g_signal_handler_disconnect(terminal, id);
        gtk_widget_destroy(GTK_WIDGET(other));
        g_object_unref(other);
}

// The keyboard goes to the terminal from the start, also when a warning
// shows the bar and its close button at construction, and also for a
// terminal built into a window already on screen. The window must never
// keep pointing at a terminal that is gone.
TEST_F(TerminalTest, TheTerminalHasTheKeyboardFromTheStart)
{
        EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(terminal->vte));

        write_config("[misc]\nno-such-key=1\n");
        testing::internal::CaptureStderr();
        for (int i = 0; i < 2; ++i) {
                recreate();
                ASSERT_TRUE(gtk_info_bar_get_revealed(terminal->infobar));
                EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(terminal->vte));
        }
        testing::internal::GetCapturedStderr();

        // A window built the way the program builds its own: the terminal
        // first, then the window shown.
        auto other = RefPtr<GtkWindow>{
            GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))};
        testing::internal::CaptureStderr();
        char* argv[] = {const_cast<char*>("brackenfold"), const_cast<char*>("sleep"),
                        const_cast<char*>("1000"), nullptr};
        auto second = terminal_new(3, argv, GTK_CONTAINER(other.get()), other.get());
        testing::internal::GetCapturedStderr();
        g_signal_handlers_disconnect_by_func(second->vte, (gpointer)gtk_main_quit, second);
        gtk_widget_show_all(GTK_WIDGET(other.get()));
        EXPECT_EQ(gtk_window_get_focus(other.get()), GTK_WIDGET(second->vte));
        ASSERT_TRUE(iterate_until([&] { return second->priv->child_pid != 0; }));
        gtk_widget_destroy(GTK_WIDGET(second));
        EXPECT_EQ(gtk_window_get_focus(other.get()), nullptr);
        gtk_widget_destroy(GTK_WIDGET(other.get()));
}

// Accepting files asks the session bus for GTK's file transfer portal,
// which the window's first frame does not wait for: the terminal takes
// drops once it has been on screen, and one closed before that is left
// alone.
TEST_F(TerminalTest, TakesDropsFromItsFirstFrameOn)
{
        auto targets = [](Terminal* terminal) {
                return gtk_drag_dest_get_target_list(GTK_WIDGET(terminal->vte));
        };
        ASSERT_TRUE(iterate_until([&] { return targets(terminal) != nullptr; }));
        guint info = 99;
        EXPECT_TRUE(gtk_target_list_find(targets(terminal),
                                         gdk_atom_intern_static_string("text/uri-list"), &info));
        EXPECT_EQ(info, 1u);

        char* argv[] = {const_cast<char*>("brackenfold"), const_cast<char*>("sleep"),
                        const_cast<char*>("1000"), nullptr};
        for (bool shown : {true, false}) {
                SCOPED_TRACE(shown ? "shown" : "closed unseen");
                auto other = RefPtr<GtkWindow>{
                    GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))};
                auto second = terminal_new(3, argv, GTK_CONTAINER(other.get()), other.get());
                g_signal_handlers_disconnect_by_func(second->vte, (gpointer)gtk_main_quit, second);
                ASSERT_TRUE(iterate_until([&] { return second->priv->child_pid != 0; }));
                EXPECT_EQ(targets(second), nullptr) << "before the window is on screen";
                if (shown) {
                        gtk_widget_show_all(GTK_WIDGET(other.get()));
                        EXPECT_EQ(targets(second), nullptr) << "before its first frame";
                        EXPECT_TRUE(iterate_until([&] { return targets(second) != nullptr; }));
                }
                gtk_widget_destroy(GTK_WIDGET(other.get()));
                iterate_pending();
        }
}

std::string font_of(GtkWidget* widget)
{
        auto context = gtk_widget_get_style_context(widget);
        PangoFontDescription* font = nullptr;
        gtk_style_context_get(context, gtk_style_context_get_state(context), "font", &font,
                              nullptr);
        auto text = CharPtr{pango_font_description_to_string(font)};
        pango_font_description_free(font);
        return text.get();
}

// The context menus belong to the terminal widget but are part of the
// interface: they are written in the interface's font, with the program's
// style sheet installed as the program installs it.
TEST_F(TerminalTest, ContextMenusUseTheInterfaceFont)
{
        auto css = take_ref(gtk_css_provider_new());
        gtk_css_provider_load_from_resource(css.get(), "/brackenfold/css/terminal.css");
        auto screen = gtk_window_get_screen(window);
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css.get()),
                                                  GTK_STYLE_PROVIDER_PRIORITY_USER);

        auto plain_menu = GTK_MENU(g_object_ref_sink(gtk_menu_new()));
        auto plain_item = gtk_menu_item_new_with_label("plain");
        gtk_menu_shell_append(GTK_MENU_SHELL(plain_menu), plain_item);
        auto interface_font = font_of(plain_item);

        for (auto menu : {terminal->standard_context_menu, terminal->uri_context_menu}) {
                auto items = gtk_container_get_children(GTK_CONTAINER(menu));
                ASSERT_NE(items, nullptr);
                EXPECT_EQ(font_of(GTK_WIDGET(items->data)), interface_font)
                    << "the terminal's is " << font_of(GTK_WIDGET(terminal->vte));
                g_list_free(items);
        }

        gtk_widget_destroy(GTK_WIDGET(plain_menu));
        g_object_unref(plain_menu);
        gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(css.get()));
}

TEST_F(TerminalTest, DestroyingTheWindowFinalizesTheTerminal)
{
        gpointer watch = terminal;
        g_object_add_weak_pointer(G_OBJECT(terminal), &watch);
        forget_child();
        gtk_widget_destroy(GTK_WIDGET(window));
        iterate_pending();
        EXPECT_EQ(watch, nullptr);
        terminal = nullptr;
}

// A child that exits while a test runs fails that test, saying so, and
// ends nothing else: the template's quit on the child's exit, with no main
// loop running, would have stopped every test after it.
class ChildExitTest : public TerminalTest {
protected:
        void SetUp() override
        {
                command = {"sh", "-c", "read line; exit 3"};
                TerminalTest::SetUp();
        }
};

TEST_F(ChildExitTest, FailsOnlyTheTestItHappensIn)
{
        testing::TestPartResultArray failures;
        {
                testing::ScopedFakeTestPartResultReporter reporter{
                    testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD,
                    &failures};
                vte_terminal_feed_child(terminal->vte, "\n", 1);
                iterate_until([&] { return child_exit_status.has_value(); });
        }
        ASSERT_TRUE(child_exit_status) << "the child never exited";
        EXPECT_TRUE(WIFEXITED(*child_exit_status) && WEXITSTATUS(*child_exit_status) == 3)
            << *child_exit_status;
        ASSERT_EQ(failures.size(), 1);
        EXPECT_THAT(failures.GetTestPartResult(0).message(),
                    testing::HasSubstr("the terminal's child exited during the test"));
        EXPECT_TRUE(failures.GetTestPartResult(0).nonfatally_failed());
}

} // namespace
