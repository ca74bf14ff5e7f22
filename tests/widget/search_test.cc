// SPDX-License-Identifier: BSD-2-Clause
// The search bar over a real terminal: typing patterns, stepping through
// matches with keys and buttons, and the entry's looks.
#include "fixture.hh"

#include <string>

namespace {

using EventPtr = Owned<GdkEvent, gdk_event_free>;

class SearchTest : public TerminalTest {
protected:
        void SetUp() override
        {
                TerminalTest::SetUp();
                changes_handler = g_signal_connect_swapped(
                    terminal->search_entry, "search-changed",
                    G_CALLBACK(+[](int* n) { ++*n; }), &changes);
                gtk_revealer_set_reveal_child(terminal->search_revealer, true);
                gtk_widget_grab_focus(GTK_WIDGET(terminal->search_entry));
                ASSERT_TRUE(iterate_until([&] {
                        return gtk_widget_get_mapped(GTK_WIDGET(terminal->search_entry));
                }));
                show_text("alpha one\r\nbeta two\r\nALPHA three\r\nalpha four\r\n", "mark");
        }

        void TearDown() override
        {
                g_signal_handler_disconnect(terminal->search_entry, changes_handler);
                TerminalTest::TearDown();
        }

        // Types a pattern the way the user does: the entry reports the
        // change a moment later, and the search runs then.
        void type(const char* pattern)
        {
                auto before = changes;
                gtk_entry_set_text(GTK_ENTRY(terminal->search_entry), pattern);
                ASSERT_TRUE(iterate_until([&] { return changes > before; }));
        }

        std::string selected()
        {
                if (!vte_terminal_get_has_selection(terminal->vte))
                        return "";
                auto text = CharPtr{vte_terminal_get_text_selected(terminal->vte, VTE_FORMAT_TEXT)};
                return text ? text.get() : "";
        }

        void key(guint keyval, guint state = 0)
        {
                auto entry = GTK_WIDGET(terminal->search_entry);
                auto event = EventPtr{gdk_event_new(GDK_KEY_PRESS)};
                event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(entry)));
                event->key.send_event = true;
                event->key.time = GDK_CURRENT_TIME;
                event->key.state = state;
                event->key.keyval = keyval;
                GdkKeymapKey* keys = nullptr;
                int n_keys = 0;
                auto keymap = gdk_keymap_get_for_display(gtk_widget_get_display(entry));
                if (gdk_keymap_get_entries_for_keyval(keymap, keyval, &keys, &n_keys) && n_keys > 0)
                        event->key.hardware_keycode = guint16(keys[0].keycode);
                g_free(keys);
                auto seat = gdk_display_get_default_seat(gtk_widget_get_display(entry));
                gdk_event_set_device(event.get(), gdk_seat_get_keyboard(seat));
                gtk_widget_event(entry, event.get());
        }

        const char* icon()
        {
                return gtk_entry_get_icon_name(GTK_ENTRY(terminal->search_entry),
                                               GTK_ENTRY_ICON_SECONDARY);
        }

        std::string tooltip()
        {
                auto text = CharPtr{gtk_entry_get_icon_tooltip_text(
                    GTK_ENTRY(terminal->search_entry), GTK_ENTRY_ICON_SECONDARY)};
                return text ? text.get() : "";
        }

        bool error_style()
        {
                return gtk_style_context_has_class(
                    gtk_widget_get_style_context(GTK_WIDGET(terminal->search_entry)), "error");
        }

        void expect_ready()
        {
                EXPECT_STREQ(icon(), "edit-clear");
                EXPECT_EQ(tooltip(), "Clear search");
                EXPECT_FALSE(error_style());
        }

        void expect_no_results()
        {
                EXPECT_STREQ(icon(), "action-unavailable");
                EXPECT_EQ(tooltip(), "No results");
                EXPECT_TRUE(error_style());
        }

        void expect_buttons(bool sensitive)
        {
                EXPECT_EQ(gtk_widget_get_sensitive(GTK_WIDGET(terminal->search_button_up)), sensitive);
                EXPECT_EQ(gtk_widget_get_sensitive(GTK_WIDGET(terminal->search_button_down)), sensitive);
                EXPECT_EQ(terminal->priv->has_search_regex, sensitive);
                EXPECT_EQ(vte_terminal_search_get_regex(terminal->vte) != nullptr, sensitive);
        }

        int changes = 0;
        gulong changes_handler = 0;
};

// Lower case does not find upper case, and the first match is selected
// as soon as the pattern is typed.
TEST_F(SearchTest, TypingSearchesCaseSensitively)
{
        type("alpha \\w+");
        expect_ready();
        expect_buttons(true);
        auto first = selected();
        EXPECT_TRUE(first == "alpha one" || first == "alpha four") << first;

        std::vector<std::string> seen{first};
        for (int i = 0; i < 3; ++i) {
                gtk_button_clicked(terminal->search_button_down);
                seen.push_back(selected());
        }
        for (auto const& match : seen)
                EXPECT_TRUE(match == "alpha one" || match == "alpha four") << match;
        EXPECT_NE(seen[0], seen[1]);
        EXPECT_EQ(seen[0], seen[2]);
        expect_ready();
}

TEST_F(SearchTest, CaretAndDollarMatchAtEveryLine)
{
        type("^beta two$");
        EXPECT_EQ(selected(), "beta two");
        expect_ready();
        type("^ALPHA");
        EXPECT_EQ(selected(), "ALPHA");
        type("three$");
        EXPECT_EQ(selected(), "three");
}

TEST_F(SearchTest, ReturnStepsDownAndShiftReturnUp)
{
        show_text("m1\r\nm2\r\nm3\r\nm4\r\n", "mark");
        type("m[1-4]");
        auto start = selected();
        ASSERT_EQ(start.size(), 2u);
        auto number = [&] { return selected().empty() ? 0 : selected()[1] - '0'; };
        auto next = [](int n, int step) { return (n - 1 + step + 4) % 4 + 1; };

        auto n = number();
        key(GDK_KEY_Return);
        EXPECT_EQ(number(), next(n, 1));
        key(GDK_KEY_Return, GDK_SHIFT_MASK);
        EXPECT_EQ(number(), n);
        // Only Shift counts.
        key(GDK_KEY_Return, GDK_SHIFT_MASK | GDK_CONTROL_MASK);
        EXPECT_EQ(number(), next(n, -1));
        // The keypad's Enter is no Return.
        auto enter = EventPtr{gdk_event_new(GDK_KEY_PRESS)};
        enter->key.keyval = GDK_KEY_KP_Enter;
        enter->key.state = GDK_SHIFT_MASK;
        EXPECT_FALSE(search_entry_key_press(GTK_WIDGET(terminal->search_entry),
                                            &enter->key, terminal));
        EXPECT_EQ(number(), next(n, -1));
        gtk_button_clicked(terminal->search_button_up);
        EXPECT_EQ(number(), next(n, -2));
        g_signal_emit_by_name(terminal->search_entry, "next-match");
        EXPECT_EQ(number(), next(n, -1));
        g_signal_emit_by_name(terminal->search_entry, "previous-match");
        EXPECT_EQ(number(), next(n, -2));
        // Stepping keeps the entry the window's focus widget. (Whether it
        // has the keyboard too depends on the window being active, which
        // without a window manager means the pointer happens to be over it.)
        EXPECT_TRUE(gtk_widget_is_focus(GTK_WIDGET(terminal->search_entry)));
}

TEST_F(SearchTest, ABadPatternSwitchesTheSearchOff)
{
        type("alpha");
        expect_buttons(true);
        type("(alpha");
        EXPECT_STREQ(icon(), "dialog-error");
        EXPECT_EQ(tooltip(), "Failed to compile pattern to regex at offset 6:missing closing parenthesis");
        EXPECT_TRUE(error_style());
        expect_buttons(false);
        EXPECT_EQ(selected(), "");

        vte_terminal_select_all(terminal->vte);
        auto all = selected();
        search_down(nullptr, terminal);
        search_up(nullptr, terminal);
        key(GDK_KEY_Return, GDK_SHIFT_MASK);
        EXPECT_EQ(selected(), all);
        EXPECT_STREQ(icon(), "dialog-error");
}

TEST_F(SearchTest, AnEmptyPatternSwitchesTheSearchOff)
{
        type("alpha");
        ASSERT_EQ(selected(), "alpha");
        type("");
        expect_ready();
        expect_buttons(false);
        EXPECT_EQ(selected(), "");

        vte_terminal_select_all(terminal->vte);
        auto all = selected();
        key(GDK_KEY_Return);
        key(GDK_KEY_Return, GDK_SHIFT_MASK);
        search_up(nullptr, terminal);
        EXPECT_EQ(selected(), all);
        expect_ready();
}

TEST_F(SearchTest, NoMatchShowsNoResultsUntilTheTextChanges)
{
        type("gamma");
        expect_no_results();
        expect_buttons(true);

        // A later match is found, but the look stays.
        show_text("gamma\r\n", "mark");
        key(GDK_KEY_Return);
        EXPECT_EQ(selected(), "gamma");
        expect_no_results();

        type("gamm");
        expect_ready();
}

// Past the last match the step starts again from nothing selected, and
// only if that finds nothing either is there no result.
TEST_F(SearchTest, TheLastMatchIsFollowedByOneRetry)
{
        vte_terminal_search_set_wrap_around(terminal->vte, false);
        type("alpha \\w+");
        auto first = selected();
        ASSERT_FALSE(first.empty());
        std::string previous = first;
        bool wrapped = false;
        for (int i = 0; i < 4 && !wrapped; ++i) {
                key(GDK_KEY_Return);
                ASSERT_FALSE(selected().empty());
                wrapped = selected() == previous || selected() == first;
                previous = selected();
        }
        EXPECT_TRUE(wrapped);
        expect_ready();
}

TEST_F(SearchTest, EscapeClosesTheBarAndKeepsTheSearch)
{
        type("alpha \\w+");
        auto match = selected();
        key(GDK_KEY_Escape);
        EXPECT_FALSE(gtk_revealer_get_reveal_child(terminal->search_revealer));
        EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(terminal->vte));
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(terminal->search_entry)), "alpha \\w+");
        expect_buttons(true);
        EXPECT_EQ(selected(), match);
        expect_ready();

        gtk_button_clicked(terminal->search_button_down);
        EXPECT_NE(selected(), match);
        EXPECT_FALSE(selected().empty());
}

TEST_F(SearchTest, StopRestoresTheReadyLook)
{
        type("gamma");
        expect_no_results();
        g_signal_emit_by_name(terminal->search_entry, "stop-search");
        expect_ready();
        EXPECT_FALSE(gtk_revealer_get_reveal_child(terminal->search_revealer));
        EXPECT_EQ(terminal->priv->has_search_regex, true);
}

} // namespace
