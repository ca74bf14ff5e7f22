// SPDX-License-Identifier: BSD-2-Clause
// The notification bar: one message at a time, dismissed by the user or,
// for a timed message, by its own timer.
#include "fixture.hh"

#include <gdk/gdkkeysyms.h>

#include <string>

namespace {

class InfobarTest : public TerminalTest {
protected:
        std::string text() const { return gtk_label_get_text(terminal->infobar_label); }
        bool revealed() const { return gtk_info_bar_get_revealed(terminal->infobar); }
        bool close_button() const
        {
                return gtk_info_bar_get_show_close_button(terminal->infobar);
        }
        GtkMessageType type() const
        {
                return gtk_info_bar_get_message_type(terminal->infobar);
        }
        unsigned refs() const { return G_OBJECT(terminal)->ref_count; }
        std::optional<guint> timer() const { return terminal->priv->infobar_timeout; }
        GtkWidget* focus() const { return gtk_window_get_focus(window); }
};

// Whether the main loop still holds the source with this id.
bool pending(guint id)
{
        return g_main_context_find_source_by_id(nullptr, id) != nullptr;
}

gint64 ready_time(guint id)
{
        auto source = g_main_context_find_source_by_id(nullptr, id);
        return source ? g_source_get_ready_time(source) : -1;
}

// The revealer inside the info bar, which slides it in and out.
GtkRevealer* sliding_part(GtkInfoBar* bar)
{
        GtkRevealer* found = nullptr;
        auto children = gtk_container_get_children(GTK_CONTAINER(bar));
        for (auto l = children; l && !found; l = l->next)
                if (GTK_IS_REVEALER(l->data))
                        found = GTK_REVEALER(l->data);
        g_list_free(children);
        return found;
}

// The bar is kept hidden until its first message: each message, the first
// included, must still slide in and end up on screen with its text.
TEST_F(InfobarTest, EveryMessageSlidesOntoTheScreen)
{
        auto label = GTK_WIDGET(terminal->infobar_label);
        EXPECT_FALSE(gtk_widget_get_mapped(label));
        auto revealer = sliding_part(terminal->infobar);
        ASSERT_NE(revealer, nullptr);
        for (auto message : {"first", "second"}) {
                SCOPED_TRACE(message);
                infobar_show(terminal, message, GTK_MESSAGE_WARNING, std::nullopt);
                EXPECT_TRUE(revealed());
                EXPECT_FALSE(gtk_revealer_get_child_revealed(revealer))
                    << "the bar slides in rather than appearing at once";
                ASSERT_TRUE(iterate_until([&] { return gtk_revealer_get_child_revealed(revealer); }));
                EXPECT_TRUE(gtk_widget_get_mapped(label));
                EXPECT_GT(gtk_widget_get_allocated_height(label), 1);
                EXPECT_EQ(text(), message);

                gtk_info_bar_response(terminal->infobar, GTK_RESPONSE_CLOSE);
                ASSERT_TRUE(iterate_until([&] { return !gtk_revealer_get_child_revealed(revealer); }));
                EXPECT_FALSE(gtk_widget_get_mapped(label));
        }
}

// Where `widget` is, in the terminal's coordinates.
GdkRectangle place_in(Terminal* terminal, GtkWidget* widget)
{
        GdkRectangle where{0, 0, gtk_widget_get_allocated_width(widget),
                           gtk_widget_get_allocated_height(widget)};
        gtk_widget_translate_coordinates(widget, GTK_WIDGET(terminal), 0, 0, &where.x, &where.y);
        return where;
}

// The message bar is drawn above the search bar and spans the width: the
// search bar must stand on top of it rather than vanish behind it, and go
// back to the corner when the message goes.
TEST_F(InfobarTest, TheSearchBarStaysInSightAboveAMessage)
{
        auto revealer = sliding_part(terminal->infobar);
        ASSERT_NE(revealer, nullptr);
        infobar_show(terminal, "a message", GTK_MESSAGE_ERROR, std::nullopt);
        ASSERT_TRUE(iterate_until([&] { return gtk_revealer_get_child_revealed(revealer); }));
        gtk_revealer_set_reveal_child(terminal->search_revealer, true);
        ASSERT_TRUE(iterate_until(
            [&] { return gtk_revealer_get_child_revealed(terminal->search_revealer); }));

        auto entry = GTK_WIDGET(terminal->search_entry);
        auto bar = GTK_WIDGET(terminal->infobar);
        auto height = gtk_widget_get_allocated_height(GTK_WIDGET(terminal));
        EXPECT_TRUE(iterate_until([&] {
                auto e = place_in(terminal, entry);
                return e.y >= 0 && e.y + e.height <= place_in(terminal, bar).y;
        })) << "the entry's bottom at " << place_in(terminal, entry).y + place_in(terminal, entry).height
            << ", the bar's top at " << place_in(terminal, bar).y;
        EXPECT_GT(place_in(terminal, bar).y, height / 2) << "the bar stays at the bottom";

        gtk_info_bar_response(terminal->infobar, GTK_RESPONSE_CLOSE);
        ASSERT_TRUE(iterate_until([&] { return !gtk_revealer_get_child_revealed(revealer); }));
        // Back in the corner: only the search bar's own margin below it.
        EXPECT_TRUE(iterate_until([&] {
                auto e = place_in(terminal, entry);
                return height - (e.y + e.height) <= 10;
        })) << "the entry's bottom at " << place_in(terminal, entry).y + place_in(terminal, entry).height
            << " of " << height;
}

TEST_F(InfobarTest, TimedMessageHidesNoCloseButtonAndHoldsTheTerminal)
{
        auto before = refs();
        infobar_show(terminal, "timed", GTK_MESSAGE_INFO, 3u);
        EXPECT_TRUE(revealed());
        EXPECT_EQ(text(), "timed");
        EXPECT_EQ(type(), GTK_MESSAGE_INFO);
        EXPECT_FALSE(close_button());
        ASSERT_TRUE(timer());
        EXPECT_TRUE(pending(*timer()));
        EXPECT_EQ(refs(), before + 1) << "the timer holds a reference to the terminal";
}

TEST_F(InfobarTest, UntimedMessageOverTimedOneReplacesEverythingAndCancelsTheTimer)
{
        auto before = refs();
        infobar_show(terminal, "timed", GTK_MESSAGE_INFO, 3u);
        ASSERT_TRUE(timer());
        auto old_timer = *timer();

        infobar_show(terminal, "stays", GTK_MESSAGE_WARNING, std::nullopt);
        EXPECT_TRUE(revealed());
        EXPECT_EQ(text(), "stays");
        EXPECT_EQ(type(), GTK_MESSAGE_WARNING);
        EXPECT_TRUE(close_button());
        EXPECT_FALSE(timer());
        EXPECT_FALSE(pending(old_timer));
        EXPECT_EQ(refs(), before) << "the cancelled timer released the terminal";
}

TEST_F(InfobarTest, TimedMessageOverTimedOneRestartsTheCountdown)
{
        auto before = refs();
        infobar_show(terminal, "first", GTK_MESSAGE_INFO, 3u);
        ASSERT_TRUE(timer());
        auto first = *timer();
        auto first_deadline = ready_time(first);

        infobar_show(terminal, "second", GTK_MESSAGE_ERROR, 3u);
        ASSERT_TRUE(timer());
        auto second = *timer();
        EXPECT_NE(second, first);
        EXPECT_FALSE(pending(first));
        EXPECT_TRUE(pending(second));
        EXPECT_GE(ready_time(second), first_deadline);
        EXPECT_EQ(text(), "second");
        EXPECT_EQ(type(), GTK_MESSAGE_ERROR);
        EXPECT_FALSE(close_button());
        EXPECT_EQ(refs(), before + 1) << "one timer, one reference";
}

TEST_F(InfobarTest, TimerHidesItsMessageOnceWithoutMovingTheFocus)
{
        gtk_window_set_focus(window, nullptr);
        iterate_pending();
        auto before = refs();
        infobar_show(terminal, "brief", GTK_MESSAGE_INFO, 1u);
        ASSERT_TRUE(timer());
        auto id = *timer();
        EXPECT_EQ(focus(), nullptr) << "showing a message leaves the focus alone";

        ASSERT_TRUE(iterate_until([&] { return !timer(); }));
        EXPECT_FALSE(revealed());
        EXPECT_FALSE(pending(id));
        EXPECT_EQ(focus(), nullptr);
        EXPECT_EQ(refs(), before);

        // Nothing left to cancel: a stale id here would be a critical.
        infobar_show(terminal, "next", GTK_MESSAGE_WARNING, std::nullopt);
        EXPECT_TRUE(revealed());
        EXPECT_EQ(text(), "next");
}

TEST_F(InfobarTest, TimerFiringAfterADismissalHidesNothingNew)
{
        infobar_show(terminal, "brief", GTK_MESSAGE_INFO, 1u);
        ASSERT_TRUE(timer());
        auto id = *timer();
        gtk_info_bar_response(terminal->infobar, GTK_RESPONSE_CLOSE);
        EXPECT_FALSE(revealed());
        ASSERT_EQ(timer(), id) << "dismissing leaves the timer alone";

        ASSERT_TRUE(iterate_until([&] { return !timer(); }));
        EXPECT_FALSE(revealed());

        // A later message cancels any timer still pending from an earlier
        // one, so no old countdown can take it away.
        infobar_show(terminal, "brief again", GTK_MESSAGE_INFO, 1u);
        ASSERT_TRUE(timer());
        auto again = *timer();
        gtk_info_bar_response(terminal->infobar, GTK_RESPONSE_CLOSE);
        infobar_show(terminal, "stays", GTK_MESSAGE_ERROR, std::nullopt);
        EXPECT_FALSE(pending(again));
        EXPECT_FALSE(timer());
        EXPECT_TRUE(revealed());
}

// The two ways a user dismisses the bar: its close button ("response") and
// its own Escape binding ("close").
struct Dismissal {
        const char* name;
        void (*dismiss)(GtkInfoBar* bar);
};

void PrintTo(Dismissal const& d, std::ostream* out)
{
        *out << d.name;
}

GtkButton* find_button(GtkWidget* widget)
{
        if (GTK_IS_BUTTON(widget))
                return GTK_BUTTON(widget);
        if (!GTK_IS_CONTAINER(widget))
                return nullptr;
        GtkButton* found = nullptr;
        gtk_container_forall(
            GTK_CONTAINER(widget),
            [](GtkWidget* child, gpointer data) {
                    auto found = static_cast<GtkButton**>(data);
                    if (!*found)
                            *found = find_button(child);
            },
            &found);
        return found;
}

const Dismissal dismissals[] = {
    {"CloseButton",
     [](GtkInfoBar* bar) {
             auto button = find_button(GTK_WIDGET(bar));
             ASSERT_NE(button, nullptr);
             gtk_button_clicked(button);
     }},
    {"EscapeBinding",
     [](GtkInfoBar* bar) {
             ASSERT_TRUE(gtk_bindings_activate(G_OBJECT(bar), GDK_KEY_Escape, GdkModifierType(0)));
     }},
};

class InfobarDismissalTest : public InfobarTest,
                             public testing::WithParamInterface<Dismissal> {};

TEST_P(InfobarDismissalTest, HidesTheBarAndFocusesTheTerminal)
{
        infobar_show(terminal, "<b>bold</b>", GTK_MESSAGE_ERROR, std::nullopt);
        gtk_window_set_focus(window, nullptr);
        ASSERT_TRUE(revealed());

        GetParam().dismiss(terminal->infobar);
        EXPECT_FALSE(revealed());
        EXPECT_EQ(focus(), GTK_WIDGET(terminal->vte));
}

TEST_P(InfobarDismissalTest, LeavesAPendingTimerAlone)
{
        infobar_show(terminal, "timed", GTK_MESSAGE_INFO, 3u);
        ASSERT_TRUE(timer());
        auto id = *timer();
        // Dismissed before the timer fires (for the close button: a click
        // that was on its way when the message changed).
        GetParam().dismiss(terminal->infobar);
        EXPECT_FALSE(revealed());
        EXPECT_EQ(timer(), id);
        EXPECT_TRUE(pending(id));
}

INSTANTIATE_TEST_SUITE_P(Ways, InfobarDismissalTest, testing::ValuesIn(dismissals),
                         [](auto const& info) { return std::string{info.param.name}; });

TEST_F(InfobarTest, MarkupIsShownFormatted)
{
        infobar_show(terminal, "<b>Header:</b>\n• a &lt;tag&gt; &amp; more",
                     GTK_MESSAGE_WARNING, std::nullopt);
        EXPECT_EQ(text(), "Header:\n• a <tag> & more");

        auto layout = gtk_label_get_layout(terminal->infobar_label);
        auto attrs = pango_layout_get_attributes(layout);
        ASSERT_NE(attrs, nullptr);
        bool bold_header = false;
        auto iter = pango_attr_list_get_iterator(attrs);
        do {
                int start = 0, end = 0;
                pango_attr_iterator_range(iter, &start, &end);
                auto weight = reinterpret_cast<PangoAttrInt*>(
                    pango_attr_iterator_get(iter, PANGO_ATTR_WEIGHT));
                if (weight && weight->value >= PANGO_WEIGHT_BOLD && start == 0 &&
                    end == int(std::string_view{"Header:"}.size()))
                        bold_header = true;
        } while (pango_attr_iterator_next(iter));
        pango_attr_iterator_destroy(iter);
        EXPECT_TRUE(bold_header);
}

TEST_F(InfobarTest, NullMessageChangesNothing)
{
        infobar_show(terminal, "kept", GTK_MESSAGE_INFO, std::nullopt);
        g_test_expect_message(nullptr, G_LOG_LEVEL_CRITICAL, "*message != NULL*");
        infobar_show(terminal, nullptr, GTK_MESSAGE_ERROR, 3u);
        g_test_assert_expected_messages();
        EXPECT_EQ(text(), "kept");
        EXPECT_EQ(type(), GTK_MESSAGE_INFO);
        EXPECT_TRUE(close_button());
        EXPECT_FALSE(timer());
}

// A pending timer must not keep a destroyed terminal alive, nor fire on
// its widgets once they are gone.
TEST_F(InfobarTest, DestroyingTheTerminalDropsAPendingTimer)
{
        infobar_show(terminal, "timed", GTK_MESSAGE_INFO, 1u);
        ASSERT_TRUE(timer());
        auto id = *timer();
        gpointer watch = terminal;
        g_object_add_weak_pointer(G_OBJECT(terminal), &watch);
        forget_child();
        gtk_widget_destroy(GTK_WIDGET(terminal));
        terminal = nullptr;
        EXPECT_EQ(watch, nullptr);
        EXPECT_FALSE(pending(id));
}

} // namespace
