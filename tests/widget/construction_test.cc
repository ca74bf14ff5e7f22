#include "fixture.hh"

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

TEST_F(TerminalTest, DestroyingTheWindowFinalizesTheTerminal)
{
        gpointer watch = terminal;
        g_object_add_weak_pointer(G_OBJECT(terminal), &watch);
        g_signal_handlers_disconnect_by_func(terminal->vte, (gpointer)gtk_main_quit, terminal);
        gtk_widget_destroy(GTK_WIDGET(window));
        iterate_pending();
        EXPECT_EQ(watch, nullptr);
        terminal = nullptr;
}

} // namespace
