// SPDX-License-Identifier: BSD-2-Clause
// Key chords, wheel zoom, clipboard, drops, title and bell on the real
// Terminal, fed synthesized events; the child records every byte the
// terminal sends it.
#include "fixture.hh"
#include "input-logic.hh"

#include <gdk/gdkx.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using EventPtr = Owned<GdkEvent, gdk_event_free>;
using SelectionPtr = Owned<GtkSelectionData, gtk_selection_data_free>;

constexpr auto ctrl = GDK_CONTROL_MASK;
constexpr auto ctrl_shift = GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK);

class InputTest : public TerminalTest {
protected:
        void SetUp() override
        {
                dir = CharPtr{g_dir_make_tmp("input-XXXXXX", nullptr)};
                ASSERT_TRUE(dir);
                record = std::string{dir.get()} + "/record";
                auto ready = std::string{dir.get()} + "/ready";
                command = {"sh", "-c", "stty raw -echo && : > \"$1\" && exec cat > \"$0\"",
                           record, ready};
                TerminalTest::SetUp();
                ASSERT_TRUE(iterate_until(
                    [&] { return g_file_test(ready.c_str(), G_FILE_TEST_EXISTS); }));
                g_remove(ready.c_str());
                // The clipboard outlives each test's terminal.
                gtk_clipboard_set_text(terminal->priv->clipboard.get(), "", 0);
        }

        void TearDown() override
        {
                // A reload's bar hides itself later, when this terminal is
                // long gone: stop its timer.
                if (terminal && terminal->priv->infobar_timeout) {
                        g_source_remove(*terminal->priv->infobar_timeout);
                        terminal->priv->infobar_timeout.reset();
                }
                TerminalTest::TearDown();
                if (!dir)
                        return;
                g_remove(record.c_str());
                g_rmdir(dir.get());
        }

        static std::string escaped(const std::string& text)
        {
                return CharPtr{g_strescape(text.c_str(), nullptr)}.get();
        }

        std::string recorded() const
        {
                std::ifstream in{record, std::ios::binary};
                std::ostringstream text;
                text << in.rdbuf();
                return text.str();
        }

        // Waits until the child has received exactly `expected`; a marker
        // sent last proves that nothing else came before it.
        ::testing::AssertionResult received(const std::string& expected)
        {
                if (iterate_until([&] { return recorded() == expected; }))
                        return ::testing::AssertionSuccess();
                return ::testing::AssertionFailure()
                       << "child received \"" << escaped(recorded()) << "\", expected \""
                       << escaped(expected) << "\"";
        }

        EventPtr event(GdkEventType type, guint state)
        {
                auto event = EventPtr{gdk_event_new(type)};
                auto window = gtk_widget_get_window(GTK_WIDGET(terminal->vte));
                auto seat = gdk_display_get_default_seat(gdk_window_get_display(window));
                gdk_event_set_device(event.get(), type == GDK_SCROLL
                                                      ? gdk_seat_get_pointer(seat)
                                                      : gdk_seat_get_keyboard(seat));
                if (type == GDK_SCROLL) {
                        event->scroll.window = GDK_WINDOW(g_object_ref(window));
                        event->scroll.state = state;
                } else {
                        event->key.window = GDK_WINDOW(g_object_ref(window));
                        event->key.state = state;
                }
                return event;
        }

        // Sends the event through the widget's signal, as the toolkit does;
        // true if a handler stopped it before the terminal's own handling.
        bool emit(const char* signal, GdkEvent* e)
        {
                bool reached = false;
                auto spy = g_signal_connect_swapped(
                    terminal->vte, signal,
                    G_CALLBACK(+[](bool* reached) noexcept -> gboolean {
                            *reached = true;
                            return false;
                    }),
                    &reached);
                gboolean handled = false;
                g_signal_emit_by_name(terminal->vte, signal, e, &handled);
                g_signal_handler_disconnect(terminal->vte, spy);
                return !reached;
        }

        bool key(guint keyval, guint state)
        {
                auto e = event(GDK_KEY_PRESS, state);
                e->key.keyval = keyval;
                return emit("key-press-event", e.get());
        }

        bool scroll(GdkScrollDirection direction, double dx, double dy, guint state)
        {
                auto e = event(GDK_SCROLL, state);
                e->scroll.direction = direction;
                e->scroll.delta_x = dx;
                e->scroll.delta_y = dy;
                return emit("scroll-event", e.get());
        }

        double scale() const { return vte_terminal_get_font_scale(terminal->vte); }

        // Feeds a line and waits until the terminal has shown it.
        void feed_line(const char* text)
        {
                vte_terminal_feed(terminal->vte, text, -1);
                vte_terminal_feed(terminal->vte, "\r\n", -1);
                ASSERT_TRUE(iterate_until([&] {
                        long column = -1, row = -1;
                        vte_terminal_get_cursor_position(terminal->vte, &column, &row);
                        return row == 1;
                }));
        }

        void feed(const char* text) { vte_terminal_feed(terminal->vte, text, -1); }

        CharPtr dir;
        std::string record;
};

// --- Key chords --------------------------------------------------------------

struct ChordCase {
        guint keyval;
        guint state;
};

class ApplicationChords : public InputTest,
                          public testing::WithParamInterface<ChordCase> {};

// Whatever else is held, the chord never reaches the child. Control+Shift+T
// and O start programs: the end-to-end tests press them, with stand-ins.
TEST_P(ApplicationChords, AreConsumed)
{
        auto [keyval, state] = GetParam();
        EXPECT_TRUE(key(keyval, state));
        gtk_window_set_focus(window, GTK_WIDGET(terminal->vte));
        EXPECT_FALSE(key(GDK_KEY_z, 0));
        EXPECT_TRUE(received("z"));
}

INSTANTIATE_TEST_SUITE_P(
    Chords, ApplicationChords,
    testing::ValuesIn([] {
            std::vector<ChordCase> cases;
            for (auto keyval : {GDK_KEY_C, GDK_KEY_F, GDK_KEY_R, GDK_KEY_V}) {
                    for (guint extra : {0u, guint(GDK_MOD1_MASK), guint(GDK_MOD4_MASK)})
                            cases.push_back({guint(keyval), ctrl_shift | extra});
                    // With Caps Lock on, Shift gives the lower-case letter.
                    cases.push_back({gdk_keyval_to_lower(keyval), ctrl_shift | GDK_LOCK_MASK});
            }
            return cases;
    }()),
    [](auto const& info) {
            return std::string{gdk_keyval_name(info.param.keyval)} + "_" +
                   std::to_string(info.param.state);
    });

TEST_F(InputTest, OtherKeysReachTheChild)
{
        EXPECT_FALSE(key(GDK_KEY_X, ctrl_shift));  // ^X
        EXPECT_FALSE(key(GDK_KEY_C, GDK_SHIFT_MASK));
        EXPECT_FALSE(key(GDK_KEY_c, ctrl));        // ^C
        EXPECT_FALSE(key(GDK_KEY_plus, ctrl_shift));
        EXPECT_FALSE(key(GDK_KEY_minus, 0));
        EXPECT_TRUE(received("\x18" "C" "\x03" "+-"));
        EXPECT_EQ(scale(), 1.0);
}

// A release goes to the terminal and stops there: the widgets around it
// have no use for it, and looking it up in their key bindings cost every
// key typed.
TEST_F(InputTest, KeyReleasesStopAtTheTerminal)
{
        auto seen = [](GtkWidget* widget, bool after, int* count) {
                auto flags = after ? G_CONNECT_AFTER : GConnectFlags(0);
                return g_signal_connect_data(
                    widget, "key-release-event",
                    G_CALLBACK(+[](GtkWidget*, GdkEventKey*, int* count) noexcept -> gboolean {
                            ++*count;
                            return false;
                    }),
                    count, nullptr, flags);
        };
        int terminal_saw = 0, around_saw = 0;
        auto vte = GTK_WIDGET(terminal->vte);
        std::vector<std::pair<GtkWidget*, gulong>> spies{
            {vte, seen(vte, false, &terminal_saw)},
            {GTK_WIDGET(terminal->scrolled_window),
             seen(GTK_WIDGET(terminal->scrolled_window), false, &around_saw)},
            {GTK_WIDGET(terminal), seen(GTK_WIDGET(terminal), false, &around_saw)},
            {GTK_WIDGET(window), seen(GTK_WIDGET(window), true, &around_saw)}};
        ASSERT_EQ(gtk_window_get_focus(window), vte);

        auto release = event(GDK_KEY_RELEASE, 0);
        release->key.keyval = GDK_KEY_a;
        // Through the window, as the toolkit delivers it.
        gtk_widget_event(GTK_WIDGET(window), release.get());
        for (auto [widget, id] : spies)
                g_signal_handler_disconnect(widget, id);
        EXPECT_EQ(terminal_saw, 1);
        EXPECT_EQ(around_saw, 0);

        // The press of a key still reaches the child, untouched.
        EXPECT_FALSE(key(GDK_KEY_b, 0));
        EXPECT_TRUE(received("b"));
}

TEST_F(InputTest, ZoomKeysStepAndReset)
{
        EXPECT_TRUE(key(GDK_KEY_equal, ctrl));
        EXPECT_EQ(scale(), 1.2);
        EXPECT_TRUE(key(GDK_KEY_equal, ctrl | GDK_MOD1_MASK));
        EXPECT_EQ(scale(), 1.2 * 1.2);
        EXPECT_TRUE(key(GDK_KEY_minus, ctrl_shift));
        EXPECT_EQ(scale(), 1.2 * 1.2 / 1.2);
        EXPECT_TRUE(key(GDK_KEY_0, ctrl));
        EXPECT_EQ(scale(), 1.0);
        for (int i = 0; i < 10; ++i)
                EXPECT_TRUE(key(GDK_KEY_minus, ctrl));
        EXPECT_EQ(scale(), zoom_scale_min);
        for (int i = 0; i < 20; ++i)
                EXPECT_TRUE(key(GDK_KEY_equal, ctrl));
        EXPECT_EQ(scale(), zoom_scale_max);
        EXPECT_FALSE(key(GDK_KEY_z, 0));
        EXPECT_TRUE(received("z")) << "no zoom key reached the child";
}

TEST_F(InputTest, ReloadReportsAndKeepsTheZoom)
{
        EXPECT_TRUE(key(GDK_KEY_equal, ctrl));
        EXPECT_TRUE(key(GDK_KEY_R, ctrl_shift));
        EXPECT_TRUE(gtk_info_bar_get_revealed(terminal->infobar));
        EXPECT_STREQ(gtk_label_get_text(terminal->infobar_label),
                     "Configuration loaded successfully.");
        EXPECT_EQ(scale(), 1.2);
}

TEST_F(InputTest, FindChordRevealsTheBarAndFocusesTheEntry)
{
        for (int round = 0; round < 2; ++round) {
                gtk_window_set_focus(window, GTK_WIDGET(terminal->vte));
                EXPECT_TRUE(key(GDK_KEY_F, ctrl_shift));
                EXPECT_TRUE(gtk_revealer_get_reveal_child(terminal->search_revealer));
                EXPECT_EQ(gtk_window_get_focus(window), GTK_WIDGET(terminal->search_entry));
        }
}

// The chord's own key releases, and the first keys typed, come before the
// bar's first frame of sliding in: the entry already takes them.
TEST_F(InputTest, FindChordEntryTakesKeysAtOnce)
{
        EXPECT_TRUE(key(GDK_KEY_F, ctrl_shift));
        auto typed = event(GDK_KEY_PRESS, 0);
        typed->key.keyval = GDK_KEY_x;
        gtk_main_do_event(typed.get());
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(terminal->search_entry)), "x");
}

// The bar's content is shown only when it is first needed: the chord must
// still slide it in, on screen, with the focus in the entry.
TEST_F(InputTest, FindChordSlidesTheBarOntoTheScreen)
{
        auto entry = GTK_WIDGET(terminal->search_entry);
        EXPECT_FALSE(gtk_widget_get_mapped(entry));
        EXPECT_TRUE(key(GDK_KEY_F, ctrl_shift));
        EXPECT_FALSE(gtk_revealer_get_child_revealed(terminal->search_revealer))
            << "the bar slides in rather than appearing at once";
        ASSERT_TRUE(iterate_until(
            [&] { return gtk_revealer_get_child_revealed(terminal->search_revealer); }));
        EXPECT_TRUE(gtk_widget_get_mapped(entry));
        EXPECT_GT(gtk_widget_get_allocated_height(entry), 1);
        EXPECT_EQ(gtk_window_get_focus(window), entry);
}

// --- Wheel -------------------------------------------------------------------

struct WheelEvent {
        GdkScrollDirection direction;
        double dx, dy;
        guint state;
};

struct WheelCase {
        const char* name;
        std::vector<WheelEvent> events;
        std::vector<double> scales; // after each event
        bool consumed;
};

class Wheel : public InputTest, public testing::WithParamInterface<WheelCase> {};

TEST_P(Wheel, ZoomsOnlyWithControl)
{
        auto& c = GetParam();
        std::vector<double> scales;
        for (auto& e : c.events) {
                EXPECT_EQ(scroll(e.direction, e.dx, e.dy, e.state), c.consumed);
                scales.push_back(scale());
        }
        EXPECT_EQ(scales, c.scales);
}

constexpr auto smooth = GDK_SCROLL_SMOOTH;
INSTANTIATE_TEST_SUITE_P(
    Cases, Wheel,
    testing::Values(
        WheelCase{"ThreeSmallUpTurns",
                  {{smooth, 0, -0.4, ctrl}, {smooth, 0, -0.4, ctrl}, {smooth, 0, -0.4, ctrl}},
                  {1.0, 1.0, 1.2}, true},
        WheelCase{"OppositeTurnsCancel",
                  {{smooth, 0, 0.6, ctrl}, {smooth, 0, -0.6, ctrl}, {smooth, 0, 0.6, ctrl}},
                  {1.0, 1.0, 1.0}, true},
        WheelCase{"BigTurnIsOneStep", {{smooth, 0, -3.0, ctrl}, {smooth, 0, 3.0, ctrl}},
                  {1.2, 1.0}, true},
        WheelCase{"NoSmoothDeltas", {{GDK_SCROLL_UP, 0, 0, ctrl}, {GDK_SCROLL_DOWN, 0, 0, ctrl}},
                  {1.0, 1.0}, true},
        WheelCase{"Sideways", {{smooth, -3.0, 0, ctrl}}, {1.0}, true},
        WheelCase{"WithoutControl", {{smooth, 0, -3.0, 0}, {GDK_SCROLL_UP, 0, 0, GDK_SHIFT_MASK}},
                  {1.0, 1.0}, false}),
    [](auto const& info) { return std::string{info.param.name}; });

// --- Zoom and the window's size ------------------------------------------------

// What the user sees of the window: its size, the terminal's grid and the
// cells. Compared only with the window's own start, never with figures.
struct Shape {
        PixelSize window;
        long columns = 0, rows = 0;
        PixelSize cells;
        friend bool operator==(const Shape&, const Shape&) = default;
};

std::ostream& operator<<(std::ostream& out, const Shape& s)
{
        return out << s.rows << " x " << s.columns << " cells of " << s.cells.width << " x "
                   << s.cells.height << ", " << s.window.width << " x " << s.window.height
                   << " px";
}

enum class Zoom { in, out, reset, wheel_in, wheel_out };

class ZoomTest : public InputTest {
protected:
        Shape shape() const
        {
                Shape s;
                gtk_window_get_size(window, &s.window.width, &s.window.height);
                s.columns = vte_terminal_get_column_count(terminal->vte);
                s.rows = vte_terminal_get_row_count(terminal->vte);
                s.cells = cell_size(terminal);
                return s;
        }

        // The window is the base and a whole grid, the terminal's.
        bool whole_cells(const Shape& s) const
        {
                auto base = grid_frame(terminal).base;
                return s.window.width - base.width == s.columns * s.cells.width &&
                       s.window.height - base.height == s.rows * s.cells.height;
        }

        // The shape once the window has taken the size asked for and the
        // terminal has laid out its grid in it: the display has answered
        // everything sent so far, and nothing is left to handle.
        Shape settled()
        {
                auto display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(GTK_WIDGET(window)));
                Shape last;
                iterate_until([&] {
                        XSync(display, False);
                        iterate_pending();
                        auto now = shape();
                        auto same = now == last && whole_cells(now);
                        last = now;
                        return same;
                });
                return last;
        }

        void zoom(Zoom step)
        {
                switch (step) {
                case Zoom::in:
                        EXPECT_TRUE(key(GDK_KEY_equal, ctrl));
                        break;
                case Zoom::out:
                        EXPECT_TRUE(key(GDK_KEY_minus, ctrl));
                        break;
                case Zoom::reset:
                        EXPECT_TRUE(key(GDK_KEY_0, ctrl));
                        break;
                case Zoom::wheel_in:
                        EXPECT_TRUE(scroll(GDK_SCROLL_SMOOTH, 0, -1.0, ctrl));
                        break;
                case Zoom::wheel_out:
                        EXPECT_TRUE(scroll(GDK_SCROLL_SMOOTH, 0, 1.0, ctrl));
                        break;
                }
        }

        // The user drags the window to `size`: no window manager runs, so
        // it is resized at once, behind the toolkit's back.
        Shape resize_as_user(PixelSize size)
        {
                auto before = shape().window;
                auto gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
                auto display = GDK_WINDOW_XDISPLAY(gdk_window);
                XResizeWindow(display, GDK_WINDOW_XID(gdk_window), guint(size.width),
                              guint(size.height));
                iterate_until([&] {
                        XSync(display, False);
                        iterate_pending();
                        return shape().window != before;
                });
                return settled();
        }
};

// Within half a cell of `size` on each axis, or larger only to keep the
// least grid of 28 x 3 cells.
testing::AssertionResult near(const Shape& shape, PixelSize size)
{
        auto axis = [](int got, int want, int cell, long cells, long least) {
                return 2 * std::abs(got - want) <= cell || (cells == least && got > want);
        };
        if (axis(shape.window.width, size.width, shape.cells.width, shape.columns, 28) &&
            axis(shape.window.height, size.height, shape.cells.height, shape.rows, 3))
                return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << shape << " is not the nearest grid to " << size.width << " x " << size.height
               << " px";
}

struct ZoomWalk {
        const char* name;
        std::vector<Zoom> steps;
};

class ZoomWalks : public ZoomTest, public testing::WithParamInterface<ZoomWalk> {};

// Every step keeps the window as close to its start as whole cells allow;
// back at the start's cells, it is the start again, grid and size.
TEST_P(ZoomWalks, EndWhereTheyStarted)
{
        auto start = settled();
        ASSERT_TRUE(whole_cells(start)) << start;
        int step = 0;
        for (auto zoom_step : GetParam().steps) {
                SCOPED_TRACE("step " + std::to_string(++step));
                zoom(zoom_step);
                auto now = settled();
                EXPECT_TRUE(whole_cells(now)) << now;
                EXPECT_TRUE(near(now, start.window));
                if (zoom_step == Zoom::reset) {
                        EXPECT_EQ(now, start);
                }
        }
        EXPECT_EQ(settled(), start);
}

constexpr auto in = Zoom::in, out = Zoom::out, reset = Zoom::reset;
constexpr auto wheel_in = Zoom::wheel_in, wheel_out = Zoom::wheel_out;
INSTANTIATE_TEST_SUITE_P(
    Walks, ZoomWalks,
    testing::Values(
        ZoomWalk{"InResetOutReset", {in, reset, out, reset}},
        ZoomWalk{"ThreeInThreeOut", {in, in, in, out, out, out}},
        ZoomWalk{"SevenInSevenOut",
                 {in, in, in, in, in, in, in, out, out, out, out, out, out, out}},
        ZoomWalk{"SevenOutSevenInReset",
                 {out, out, out, out, out, out, out, in, in, in, in, in, in, in, reset}},
        ZoomWalk{"SevenEachMixedReset",
                 {in, out, out, in, in, in, out, out, in, out, in, out, out, in, reset}},
        ZoomWalk{"PastTheLimits",
                 {in, in, in, in, in, in, in, in, in, out, out, out, out, out, out, out, out,
                  out, out, out, out, out, out, out, out, in, reset}},
        ZoomWalk{"WheelAndKeys",
                 {wheel_in, wheel_in, in, wheel_out, out, out, wheel_out, wheel_in, reset}}),
    [](auto const& info) { return std::string{info.param.name}; });

// After a resize of the user's, zooming starts from the user's size, and
// Control+0 gives the grid of that size.
TEST_F(ZoomTest, StartsAfreshFromTheUsersSize)
{
        auto start = settled();
        zoom(Zoom::in);
        auto zoomed = settled();
        auto user = resize_as_user({zoomed.window.width + 3 * zoomed.cells.width,
                                    zoomed.window.height - 2 * zoomed.cells.height});
        ASSERT_TRUE(whole_cells(user)) << user;
        ASSERT_EQ(user.cells, zoomed.cells);

        zoom(Zoom::reset);
        auto reset = settled();
        EXPECT_EQ(reset.cells, start.cells);
        EXPECT_TRUE(near(reset, user.window));
        EXPECT_NE(reset.window, start.window);
        zoom(Zoom::in);
        EXPECT_EQ(settled(), user);
}

// Steps that come faster than the window follows them, as a spun wheel
// gives them: the window takes the size of the last one.
TEST_F(ZoomTest, StepsFasterThanTheWindowFollows)
{
        auto start = settled();
        for (auto step : {in, in, in, out, wheel_in, wheel_in})
                zoom(step);
        auto zoomed = settled();
        EXPECT_TRUE(near(zoomed, start.window));
        for (auto step : {out, wheel_out, in, out, out, out})
                zoom(step);
        EXPECT_EQ(settled(), start);
        for (auto step : {wheel_in, in, reset})
                zoom(step);
        EXPECT_EQ(settled(), start);
}

// A reload keeps the zoom, and with it the way back.
TEST_F(ZoomTest, ReloadKeepsTheWayBack)
{
        auto start = settled();
        zoom(Zoom::in);
        zoom(Zoom::in);
        settled();
        EXPECT_TRUE(key(GDK_KEY_R, ctrl_shift));
        settled();
        zoom(Zoom::reset);
        EXPECT_EQ(settled(), start);
}

// The desktop changes the screen's resolution (its settings daemon does it
// through XSETTINGS, as a scaling slider does), and with it the cells.
class DesktopResolution : public ZoomTest {
protected:
        void SetUp() override
        {
                ZoomTest::SetUp();
                g_object_get(settings(), "gtk-xft-dpi", &m_dpi, nullptr);
        }
        void TearDown() override
        {
                set_dpi(m_dpi);
                ZoomTest::TearDown();
        }
        GtkSettings* settings() const
        {
                return gtk_widget_get_settings(GTK_WIDGET(window));
        }
        // In 1024ths of a dot per inch, as the setting has it; -1 is the
        // screen's own.
        void set_dpi(int dpi) { g_object_set(settings(), "gtk-xft-dpi", dpi, nullptr); }
        int first_dpi() const { return m_dpi; }

private:
        int m_dpi = -1;
};

// Each new resolution keeps the window as close to its first size as whole
// cells allow, as a zoom step does; back at the first resolution, it is the
// start.
TEST_F(DesktopResolution, KeepsTheWindowsSize)
{
        auto start = settled();
        constexpr int first = 0;
        for (int dpi : {120, 144, 72, first, 110, 84, first}) {
                SCOPED_TRACE("dpi " + std::to_string(dpi));
                auto before = settled();
                set_dpi(dpi == first ? first_dpi() : dpi * 1024);
                // The terminal takes the new font when its style is next
                // brought up to date.
                iterate_until([&] { return cell_size(terminal) != before.cells; }, 1.0);
                auto now = settled();
                EXPECT_TRUE(whole_cells(now)) << now;
                EXPECT_TRUE(near(now, start.window));
                if (dpi == first) {
                        EXPECT_EQ(now, start);
                } else {
                        EXPECT_NE(now.cells, before.cells) << "the resolution changed nothing";
                }
        }
        // The zoom still comes back to the same shape.
        zoom(Zoom::in);
        zoom(Zoom::reset);
        EXPECT_EQ(settled(), start);
}

// Where the desktop has no overlay scrolling, the scroll bar takes room of
// its own. A reload that turns it on or off widens or narrows the window by
// its width, and the grid stays as it was.
class ScrollBarReload : public ZoomTest {
protected:
        void SetUp() override
        {
                ZoomTest::SetUp();
                g_setenv("GTK_OVERLAY_SCROLLING", "0", true);
                write_config("[misc]\nscrollbar=false\n");
                recreate();
        }
        void TearDown() override
        {
                g_unsetenv("GTK_OVERLAY_SCROLLING");
                ZoomTest::TearDown();
        }
        Shape reload_with(const char* text)
        {
                write_config(text);
                EXPECT_TRUE(key(GDK_KEY_R, ctrl_shift));
                return settled();
        }
        int base() const { return grid_frame(terminal).base.width; }
};

TEST_F(ScrollBarReload, KeepsTheGrid)
{
        auto start = settled();
        auto base_without = base();

        auto with_bar = reload_with("[misc]\nscrollbar=true\n");
        auto bar = base() - base_without;
        EXPECT_GT(bar, 0) << "the permanent bar takes no room";
        EXPECT_TRUE(whole_cells(with_bar)) << with_bar;
        EXPECT_EQ(with_bar.columns, start.columns);
        EXPECT_EQ(with_bar.rows, start.rows);
        EXPECT_EQ(with_bar.window.width, start.window.width + bar);
        EXPECT_EQ(with_bar.window.height, start.window.height);

        // Zooming goes on from the window with its bar.
        zoom(Zoom::in);
        zoom(Zoom::reset);
        EXPECT_EQ(settled(), with_bar);

        EXPECT_EQ(reload_with("[misc]\nscrollbar=false\n"), start);
        EXPECT_EQ(base(), base_without);
}

// --- Clipboard ---------------------------------------------------------------

std::string clipboard_text(GtkClipboard* clipboard)
{
        auto text = CharPtr{gtk_clipboard_wait_for_text(clipboard)};
        return text ? text.get() : "";
}

TEST_F(InputTest, CopyNeedsASelection)
{
        auto clipboard = terminal->priv->clipboard.get();
        gtk_clipboard_set_text(clipboard, "before", -1);
        feed_line("copied words");
        EXPECT_TRUE(key(GDK_KEY_C, ctrl_shift));
        gtk_menu_item_activate(GTK_MENU_ITEM(terminal->copy_item_text));
        EXPECT_EQ(clipboard_text(clipboard), "before");

        vte_terminal_select_all(terminal->vte);
        EXPECT_TRUE(key(GDK_KEY_C, ctrl_shift | GDK_MOD1_MASK));
        EXPECT_TRUE(clipboard_text(clipboard).starts_with("copied words"));
        EXPECT_FALSE(key(GDK_KEY_z, 0));
        EXPECT_TRUE(received("z")) << "no copy chord reached the child";
}

TEST_F(InputTest, CopyItemsCopyTextAndHtml)
{
        auto clipboard = terminal->priv->clipboard.get();
        feed_line("copied words");
        vte_terminal_select_all(terminal->vte);

        gtk_menu_item_activate(GTK_MENU_ITEM(terminal->copy_item_html));
        auto html = SelectionPtr{gtk_clipboard_wait_for_contents(
            clipboard, gdk_atom_intern_static_string("text/html"))};
        ASSERT_TRUE(html);
        // The terminal offers HTML in UTF-16, as browsers expect it.
        auto utf16 = reinterpret_cast<const gunichar2*>(gtk_selection_data_get_data(html.get()));
        auto length = gtk_selection_data_get_length(html.get()) / 2;
        auto utf8 = CharPtr{g_utf16_to_utf8(utf16, length, nullptr, nullptr, nullptr)};
        ASSERT_TRUE(utf8);
        std::string markup{utf8.get()};
        EXPECT_NE(markup.find("copied words"), std::string::npos) << markup;
        EXPECT_NE(markup.find('<'), std::string::npos) << markup;

        gtk_clipboard_set_text(clipboard, "before", -1);
        gtk_menu_item_activate(GTK_MENU_ITEM(terminal->copy_item_text));
        EXPECT_TRUE(clipboard_text(clipboard).starts_with("copied words"));
        EXPECT_FALSE(gtk_clipboard_wait_is_target_available(
            clipboard, gdk_atom_intern_static_string("text/html")));
}

GtkMenuItem* menu_item(GtkMenu* menu, const char* label)
{
        GtkMenuItem* found = nullptr;
        auto children = gtk_container_get_children(GTK_CONTAINER(menu));
        for (auto l = children; l; l = l->next)
                if (GTK_IS_MENU_ITEM(l->data) &&
                    g_strcmp0(gtk_menu_item_get_label(GTK_MENU_ITEM(l->data)), label) == 0)
                        found = GTK_MENU_ITEM(l->data);
        g_list_free(children);
        return found;
}

TEST_F(InputTest, PasteChordAndItemPasteTheClipboard)
{
        auto clipboard = terminal->priv->clipboard.get();
        gtk_clipboard_set_text(clipboard, "one", -1);
        EXPECT_TRUE(key(GDK_KEY_V, ctrl_shift));
        EXPECT_TRUE(received("one"));
        gtk_clipboard_set_text(clipboard, "two", -1);
        auto paste = menu_item(terminal->standard_context_menu, "_Paste");
        ASSERT_NE(paste, nullptr);
        gtk_menu_item_activate(paste);
        EXPECT_TRUE(received("onetwo"));
}

// --- Drops -------------------------------------------------------------------

// A selection as a drop delivers it. GTK has no public way to make one, so
// it comes through a private selection this process owns.
struct Offer {
        std::vector<std::string> uris;
        std::string text;
};

void offer_data(GtkClipboard*, GtkSelectionData* data, guint info, gpointer offer) noexcept
{
        auto o = static_cast<Offer*>(offer);
        if (info == 1) {
                std::vector<char*> uris;
                for (auto& uri : o->uris)
                        uris.push_back(uri.data());
                uris.push_back(nullptr);
                gtk_selection_data_set_uris(data, uris.data());
        } else {
                gtk_selection_data_set_text(data, o->text.data(), int(o->text.size()));
        }
}

SelectionPtr dropped(Offer& offer, const char* target)
{
        auto clipboard = gtk_clipboard_get(gdk_atom_intern_static_string("BRACKENFOLD_DROP"));
        const GtkTargetEntry targets[] = {{const_cast<char*>("UTF8_STRING"), 0, 0},
                                          {const_cast<char*>("text/uri-list"), 0, 1}};
        gtk_clipboard_set_with_data(clipboard, targets, 2, offer_data, nullptr, &offer);
        auto data = SelectionPtr{
            gtk_clipboard_wait_for_contents(clipboard, gdk_atom_intern(target, false))};
        gtk_clipboard_clear(clipboard);
        return data;
}

void drop(Terminal* terminal, GtkSelectionData* data, guint info)
{
        g_signal_emit_by_name(terminal->vte, "drag-data-received", nullptr, 1, 1, data,
                              info, guint(GDK_CURRENT_TIME));
}

TEST_F(InputTest, DroppedFilesArePastedAsQuotedPaths)
{
        Offer offer{{"file:///tmp/a%20b", "", "https://example.org/x?y=1", "file:///tmp/it's"}, ""};
        auto data = dropped(offer, "text/uri-list");
        ASSERT_TRUE(data);
        drop(terminal, data.get(), 1);
        EXPECT_TRUE(received("'/tmp/a b' https://example.org/x?y=1 '/tmp/it'\\''s'"));
}

// The shell must get the very bytes of the name, or it names another file.
TEST_F(InputTest, DroppedNonUtf8NameArrivesByteForByte)
{
        Offer offer{{"file:///tmp/%FF%FEx"}, ""};
        auto data = dropped(offer, "text/uri-list");
        ASSERT_TRUE(data);
        drop(terminal, data.get(), 1);
        Offer marker{{}, "|"};
        auto text = dropped(marker, "UTF8_STRING");
        drop(terminal, text.get(), 0);
        EXPECT_TRUE(received("'/tmp/\xff\xfex'|"));
}

TEST_F(InputTest, DroppedTextIsPastedUnchanged)
{
        Offer offer{{}, " two\twords "};
        auto data = dropped(offer, "UTF8_STRING");
        ASSERT_TRUE(data);
        drop(terminal, data.get(), 0);
        EXPECT_TRUE(received(" two\twords "));
}

// A URI drop without a list pastes the empty text; an unknown target
// pastes nothing. The text dropped last shows nothing came before it.
TEST_F(InputTest, DropsWithoutUrisOrOfUnknownKindPasteNothing)
{
        Offer offer{{}, "plain"};
        auto data = dropped(offer, "UTF8_STRING");
        ASSERT_TRUE(data);
        drop(terminal, data.get(), 1);
        drop(terminal, data.get(), 2);
        Offer empty{{"", ""}, ""};
        auto uris = dropped(empty, "text/uri-list");
        ASSERT_TRUE(uris);
        drop(terminal, uris.get(), 1);
        drop(terminal, data.get(), 0);
        EXPECT_TRUE(received("plain"));
}

// GTK takes the first of the terminal's targets that the source offers, so a
// file manager offering the files both as a URI list and as text must have
// them pasted as quoted paths.
struct OfferedTargets {
        const char* name;
        std::vector<const char*> offered;
        const char* chosen;  // nullptr: the drop is refused
        guint info;
};

class DropTargets : public InputTest, public testing::WithParamInterface<OfferedTargets> {};

TEST_P(DropTargets, FilesWinOverTheirTextForm)
{
        auto const& c = GetParam();
        // The terminal takes drops from its first frame on.
        ASSERT_TRUE(iterate_until(
            [&] { return gtk_drag_dest_get_target_list(GTK_WIDGET(terminal->vte)) != nullptr; }));
        GList* offered = nullptr;
        for (auto target : c.offered)
                offered = g_list_append(offered, gdk_atom_intern(target, false));
        auto context = RefPtr<GdkDragContext>{
            gdk_drag_begin(gtk_widget_get_window(GTK_WIDGET(terminal->vte)), offered)};
        g_list_free(offered);
        ASSERT_TRUE(context);

        auto chosen = gtk_drag_dest_find_target(GTK_WIDGET(terminal->vte), context.get(), nullptr);
        gdk_drag_abort(context.get(), GDK_CURRENT_TIME);
        if (!c.chosen) {
                EXPECT_EQ(chosen, GDK_NONE);
                return;
        }
        ASSERT_NE(chosen, GDK_NONE);
        EXPECT_EQ(CharPtr{gdk_atom_name(chosen)}.get(), std::string{c.chosen});
        guint info = 99;
        ASSERT_TRUE(gtk_target_list_find(
            gtk_drag_dest_get_target_list(GTK_WIDGET(terminal->vte)), chosen, &info));
        EXPECT_EQ(info, c.info);
}

INSTANTIATE_TEST_SUITE_P(
    Offers, DropTargets,
    testing::Values(
        OfferedTargets{"FilesAsUrisThenText",
                       {"text/uri-list", "UTF8_STRING", "text/plain;charset=utf-8", "STRING"},
                       "text/uri-list", 1},
        OfferedTargets{"FilesAsTextThenUris",
                       {"UTF8_STRING", "text/plain", "text/uri-list"}, "text/uri-list", 1},
        OfferedTargets{"OnlyUris", {"text/uri-list"}, "text/uri-list", 1},
        OfferedTargets{"OnlyText", {"text/plain", "UTF8_STRING"}, "UTF8_STRING", 0},
        OfferedTargets{"NothingWeTake", {"image/png"}, nullptr, 0}),
    [](auto const& info) { return std::string{info.param.name}; });

// --- Title and bell ----------------------------------------------------------

TEST_F(InputTest, WindowTitleFollowsTheTerminalTitle)
{
        struct {
                const char* sequence;
                const char* title;
        } const cases[] = {
            {"\033]2;first\007", "first - brackenfold"},
            {"\033]0;second one\033\\", "second one - brackenfold"},
            {"\033]2;\007", "brackenfold"},
            {"\033]2;%s\007", "%s - brackenfold"},
        };
        for (auto& c : cases) {
                feed(c.sequence);
                EXPECT_TRUE(iterate_until(
                    [&] { return g_strcmp0(gtk_window_get_title(window), c.title) == 0; }))
                    << gtk_window_get_title(window) << " instead of " << c.title;
        }
}

TEST_F(InputTest, EveryBellRaisesTheUrgencyHint)
{
        EXPECT_FALSE(gtk_window_get_urgency_hint(window));
        // The terminal drops bells that follow each other too closely, so
        // the second one rings until it gets through.
        for (int bell = 0; bell < 2; ++bell) {
                EXPECT_TRUE(iterate_until([&] {
                        feed("\007");
                        iterate_pending();
                        return gtk_window_get_urgency_hint(window);
                }));
                gtk_window_set_urgency_hint(window, false);
        }
}

} // namespace
