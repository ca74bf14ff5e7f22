// SPDX-License-Identifier: BSD-2-Clause
// The window as users meet it, with no window manager and under openbox:
// zooming keeps its size and Control+0 gives it back exactly, so do a new
// font and a new resolution, resizes land on whole cells, a maximised or
// full-screen window comes back to its size, zoomed or not, a bell asks for
// attention and the window manager can close it. Sizes are compared with the window's own start, never with
// figures: other fonts make other cells.
#include "harness.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

namespace {

enum class Wm { none, openbox };

std::string wm_name(const testing::TestParamInfo<Wm>& info)
{
        return info.param == Wm::openbox ? "UnderOpenbox" : "WithoutWindowManager";
}

// What the user sees: the window's size, the grid the child's terminal
// has, and the cells the size hints give the window manager.
struct Shape {
        WindowSize window;
        int rows = -1, columns = -1;
        SizeHints hints;

        // The window is the base and a whole grid, the child's, of the
        // cells in the hints.
        bool whole_cells() const
        {
                return window.width - hints.base_width == columns * hints.inc_width &&
                       window.height - hints.base_height == rows * hints.inc_height;
        }
        bool operator==(const Shape& o) const
        {
                return window == o.window && rows == o.rows && columns == o.columns &&
                       hints.inc_width == o.hints.inc_width &&
                       hints.inc_height == o.hints.inc_height &&
                       hints.min_width == o.hints.min_width &&
                       hints.min_height == o.hints.min_height;
        }
};

std::ostream& operator<<(std::ostream& out, const Shape& s)
{
        return out << s.rows << " x " << s.columns << " cells, " << s.window.width << " x "
                   << s.window.height << " px (cells of " << s.hints.inc_width << " x "
                   << s.hints.inc_height << ")";
}

// Within half a cell of `size` on each axis, or larger only to keep the
// least grid of 28 x 3 cells.
testing::AssertionResult near(const Shape& shape, WindowSize size)
{
        auto axis = [](int got, int want, int cell, int cells, int least) {
                return 2 * std::abs(got - want) <= cell || (cells == least && got > want);
        };
        if (shape.whole_cells() &&
            axis(shape.window.width, size.width, shape.hints.inc_width, shape.columns, 28) &&
            axis(shape.window.height, size.height, shape.hints.inc_height, shape.rows, 3))
                return testing::AssertionSuccess();
        return testing::AssertionFailure()
               << shape << " is not the nearest whole grid to " << size.width << " x "
               << size.height << " px";
}

// A terminal whose child reports its grid and records the keys it gets.
class Window : public testing::TestWithParam<Wm> {
protected:
        void SetUp() override
        {
                if (GetParam() == Wm::openbox) {
                        wm.emplace();
                        ASSERT_EQ(wm->failure(), "");
                }
                app.emplace(std::vector<std::string>{
                    "sh", "-c",
                    "stty raw -echo; "
                    "while stty size < /dev/tty > \"$0.new\" && mv \"$0.new\" \"$0\"; do "
                    "        sleep 0.05; "
                    "done & "
                    "exec cat > \"$1\"",
                    grid, record},
                    environment());
                window = app->wait_for_window();
                ASSERT_NE(window, 0u) << app->err();
                if (wm) {
                        ASSERT_TRUE(wm->manages(window));
                }
                start = settled();
                ASSERT_TRUE(start.whole_cells()) << start;
        }

        // What the terminal runs with.
        virtual std::map<std::string, std::string> environment() const
        {
                return {{"XDG_CONFIG_HOME", dir.file("config")}};
        }

        // Writes the configuration file the terminal reads.
        void write_config(const std::string& text)
        {
                g_mkdir_with_parents(dir.file("config/brackenfold").c_str(), 0700);
                write_file(dir.file("config/brackenfold/config"), text);
        }

        void TearDown() override
        {
                if (!app)
                        return;
                if (window && app->running())
                        close_window(window);
                EXPECT_EQ(app->wait_exit(), 0) << app->err();
        }

        Shape shape()
        {
                Shape s;
                s.window = window_size(window);
                std::istringstream{read_file(grid)} >> s.rows >> s.columns;
                s.hints = size_hints(window);
                return s;
        }

        // The shape once the window and the child agree on whole cells (or,
        // for a size the window manager holds, on any size) and stay so for
        // a few looks: a window manager may pass through other sizes on its
        // way.
        Shape settled(bool whole_cells = true)
        {
                Shape last;
                int same = 0;
                wait_until(
                    [&] {
                            auto now = shape();
                            same = now == last && (now.whole_cells() || !whole_cells)
                                       ? same + 1
                                       : 0;
                            last = now;
                            return same >= 3;
                    },
                    5.0);
                return last;
        }

        // Waits until the window manager has cells other than those of
        // `before`. The least size is in cells too, and is there when no
        // whole cells are asked for.
        testing::AssertionResult cells_changed_from(const SizeHints& before)
        {
                if (wait_until([&] {
                            auto now = size_hints(window);
                            return now.min_width != before.min_width ||
                                   now.min_height != before.min_height;
                    }))
                        return testing::AssertionSuccess();
                return testing::AssertionFailure() << "the cells did not change";
        }

        // Presses `chord` and waits until the program has handled it (the
        // key after it has reached the child) and, if the zoom level
        // changed, has handed the new cells to the window manager.
        Shape press(const std::string& chord, bool whole_cells = true)
        {
                auto next = chord == "ctrl+equal" ? std::min(level + 1, 7)
                            : chord == "ctrl+minus" ? std::max(level - 1, -7)
                                                    : 0;
                auto before = size_hints(window);
                send_keys(window, {chord, "x"});
                auto pressed = size_t(++presses);
                EXPECT_TRUE(wait_until([&] { return count(read_file(record), "x") == pressed; }))
                    << chord << " was not handled: the child got "
                    << testing::PrintToString(read_file(record)) << " for " << pressed
                    << " presses";
                if (next != level) {
                        EXPECT_TRUE(cells_changed_from(before)) << "with " << chord;
                }
                level = next;
                return settled(whole_cells);
        }

        // The user sets the font (none: the default) and reloads; waits until
        // the window manager has the new cells.
        Shape use_font(const std::string& font)
        {
                auto before = size_hints(window);
                write_config(font.empty() ? "[misc]\n" : "[misc]\nfont=" + font + "\n");
                app->send_signal(SIGUSR1);
                EXPECT_TRUE(cells_changed_from(before)) << "with " << font;
                return settled();
        }

        // The user drags the window to `size`, or asks the window manager to.
        Shape resize(WindowSize size)
        {
                auto before = window_size(window);
                run({"xdotool", "windowsize", std::to_string(window), std::to_string(size.width),
                     std::to_string(size.height)});
                EXPECT_TRUE(wait_until([&] { return window_size(window) != before; }));
                return settled();
        }

        // Walks `chords` and checks every step against `anchor`, the size
        // before the first of them; Control+0 must give `back` exactly.
        void walk(const std::vector<std::string>& chords, WindowSize anchor, const Shape& back)
        {
                for (auto const& chord : chords) {
                        auto now = press(chord);
                        if (chord == "ctrl+0")
                                EXPECT_EQ(now, back) << "after " << chord;
                        else
                                EXPECT_TRUE(near(now, anchor)) << "after " << chord;
                }
        }

        TempDir dir;
        std::string grid = dir.file("grid");
        std::string record = dir.file("record");
        std::optional<WindowManager> wm;
        std::optional<Brackenfold> app;
        unsigned long window = 0;
        Shape start;
        int presses = 0;
        int level = 0; // zoom steps away from the normal size
};

// Zoom in, out and back: at every step the window keeps its size as
// closely as whole cells allow, and Control+0 gives back the start.
TEST_P(Window, ZoomWalksEndWhereTheyStarted)
{
        walk({"ctrl+equal", "ctrl+0", "ctrl+minus", "ctrl+0"}, start.window, start);
        walk({"ctrl+equal", "ctrl+equal", "ctrl+equal", "ctrl+minus", "ctrl+minus", "ctrl+minus",
              "ctrl+0"},
             start.window, start);
        // Seven steps each way in a mixed order never pass a limit.
        walk({"ctrl+minus", "ctrl+equal", "ctrl+equal", "ctrl+minus", "ctrl+equal", "ctrl+equal",
              "ctrl+minus", "ctrl+minus", "ctrl+equal", "ctrl+minus", "ctrl+equal", "ctrl+minus",
              "ctrl+equal", "ctrl+minus"},
             start.window, start);
        EXPECT_EQ(shape(), start);
        walk({"ctrl+0"}, start.window, start);
}

// A resize lands on whole cells, zoomed or not; after one, zooming starts
// from the user's size and Control+0 gives the grid of that size.
TEST_P(Window, ResizesLandOnWholeCellsAndZoomStartsFromThem)
{
        auto odd = [](const Shape& s) {
                return WindowSize{s.window.width + s.hints.inc_width / 2 + 37,
                                  s.window.height + s.hints.inc_height / 2 + 29};
        };
        auto resized = resize(odd(start));
        EXPECT_TRUE(resized.whole_cells()) << resized;
        EXPECT_NE(resized.window, start.window);

        auto zoomed = press("ctrl+equal");
        EXPECT_TRUE(near(zoomed, resized.window));
        auto user = resize(odd(zoomed));
        EXPECT_TRUE(user.whole_cells()) << user;

        auto reset = press("ctrl+0");
        EXPECT_TRUE(near(reset, user.window));
        EXPECT_EQ(reset.hints.inc_width, start.hints.inc_width);
        // Back at the cells of the user's size: that size exactly.
        EXPECT_EQ(press("ctrl+equal"), user);
}

// A new font keeps the window's size as closely as whole cells allow, and
// trying fonts does not walk it smaller: back at the first font, it has the
// grid it started with, give or take a row or a column.
TEST_P(Window, NewFontsKeepItsSize)
{
        auto previous = start;
        for (std::string font : {"Monospace 16", "Monospace 8", "", "Monospace 13", "",
                                 "Monospace 16", ""}) {
                SCOPED_TRACE(font.empty() ? "the default font" : font);
                auto now = use_font(font);
                EXPECT_TRUE(near(now, previous.window)) << "from " << previous;
                if (font.empty()) {
                        EXPECT_LE(std::abs(now.rows - start.rows), 1) << now << " from " << start;
                        EXPECT_LE(std::abs(now.columns - start.columns), 1)
                            << now << " from " << start;
                }
                previous = now;
        }
}

// The desktop's settings daemon changes the screen's resolution, as its
// scaling slider does: the window keeps its size as closely as whole cells
// allow, and back at the first resolution it is the start again.
TEST_P(Window, NewResolutionsKeepItsSize)
{
        auto tool = std::getenv("XSETTINGS");
        ASSERT_NE(tool, nullptr) << "XSETTINGS names the settings daemon of the tests";
        std::optional<Process> daemon;
        // Each daemon takes over from the one before it, as a restarted
        // desktop session's does.
        auto use_dpi = [&](int dpi) {
                auto before = size_hints(window);
                daemon.emplace(std::vector<std::string>{tool, std::to_string(dpi * 1024)});
                EXPECT_TRUE(cells_changed_from(before)) << "at " << dpi << " dpi";
                return settled();
        };
        // The first one gives the screen's own resolution.
        daemon.emplace(std::vector<std::string>{tool, std::to_string(96 * 1024)});
        ASSERT_EQ(settled(), start) << "this screen is not at 96 dpi";
        for (int dpi : {120, 144, 72, 96, 110, 96}) {
                SCOPED_TRACE(std::to_string(dpi) + " dpi");
                auto now = use_dpi(dpi);
                EXPECT_TRUE(near(now, start.window));
                if (dpi == 96) {
                        EXPECT_EQ(now, start);
                }
        }
        EXPECT_GT(press("ctrl+equal").hints.inc_width, start.hints.inc_width);
        EXPECT_EQ(press("ctrl+0"), start);
}

INSTANTIATE_TEST_SUITE_P(Wm, Window, testing::Values(Wm::none, Wm::openbox), wm_name);

// The grid is as large as the window holds in its cells: the child sees
// all of a size the window manager gave it. The cells are read off the
// least size (28 x 3 of them), which the hints give even where they ask for
// no whole cells.
bool fills(const Shape& s)
{
        auto cell_width = (s.hints.min_width - s.hints.base_width) / 28;
        auto cell_height = (s.hints.min_height - s.hints.base_height) / 3;
        return cell_width > 0 && cell_height > 0 &&
               s.columns == (s.window.width - s.hints.base_width) / cell_width &&
               s.rows == (s.window.height - s.hints.base_height) / cell_height;
}

// Maximised or full screen, the window has the size its window manager
// gives it, so there is one only under openbox.
class HeldWindow : public Window {
protected:
        // The window manager takes the window's size, or gives it back.
        Shape hold(const std::vector<std::string>& states, bool take)
        {
                auto before = window_size(window);
                set_window_state(window, take, states);
                EXPECT_TRUE(wait_until([&] { return window_size(window) != before; }))
                    << "the window manager did not " << (take ? "take" : "give back")
                    << " the size";
                // A held size need not be whole cells.
                return settled(!take);
        }
};

struct Hold {
        const char* name;
        std::vector<std::string> states;
};

// Maximised or full screen and back, the window gets the size it had. A zoom
// meanwhile changes the grid inside the held size, and the size it comes
// back to is the old one in whole new cells, with Control+0 the old shape.
TEST_P(HeldWindow, ComesBackToItsSizeAndZoomsTheGridInside)
{
        for (auto const& kind : {Hold{"maximised", {"MAXIMIZED_VERT", "MAXIMIZED_HORZ"}},
                                 Hold{"full screen", {"FULLSCREEN"}}}) {
                SCOPED_TRACE(kind.name);
                auto free = shape();
                auto held = hold(kind.states, true);
                EXPECT_TRUE(fills(held)) << held;
                EXPECT_EQ(hold(kind.states, false), free);

                held = hold(kind.states, true);
                for (auto chord : {"ctrl+equal", "ctrl+equal", "ctrl+minus"}) {
                        auto now = press(chord, false);
                        EXPECT_EQ(now.window, held.window) << "after " << chord;
                        EXPECT_TRUE(fills(now)) << now << " after " << chord;
                        EXPECT_NE(now.columns, held.columns) << "after " << chord;
                }
                auto back = hold(kind.states, false);
                EXPECT_TRUE(near(back, free.window)) << "after a zoom";
                EXPECT_EQ(press("ctrl+0"), free);
        }
}

INSTANTIATE_TEST_SUITE_P(Wm, HeldWindow, testing::Values(Wm::openbox), wm_name);

// Where the desktop has no overlay scrolling, the scroll bar takes room of
// its own: the window around the grid changes when a reload turns it on or
// off.
class PermanentBarWindow : public HeldWindow {
protected:
        void SetUp() override
        {
                write_config("[misc]\nscrollbar=false\n");
                HeldWindow::SetUp();
        }
        std::map<std::string, std::string> environment() const override
        {
                auto env = HeldWindow::environment();
                env["GTK_OVERLAY_SCROLLING"] = "0";
                return env;
        }
        // Reloads with the bar on or off; waits until the window manager
        // has the new window around the grid.
        Shape reload_with_bar(bool bar, bool whole_cells = true)
        {
                auto before = size_hints(window);
                write_config(bar ? "[misc]\nscrollbar=true\n" : "[misc]\nscrollbar=false\n");
                app->send_signal(SIGUSR1);
                EXPECT_TRUE(wait_until(
                    [&] { return size_hints(window).base_width != before.base_width; }))
                    << "the bar changed nothing";
                return settled(whole_cells);
        }
};

// The bar widens or narrows the window by its width and the grid stays;
// turned on while the window manager holds the size, the window comes back
// with the grid it had and the bar beside it.
TEST_P(PermanentBarWindow, AReloadKeepsTheGrid)
{
        auto with_bar = reload_with_bar(true);
        auto bar = with_bar.hints.base_width - start.hints.base_width;
        EXPECT_GT(bar, 0);
        EXPECT_EQ(with_bar.columns, start.columns);
        EXPECT_EQ(with_bar.rows, start.rows);
        EXPECT_EQ(with_bar.window, (WindowSize{start.window.width + bar, start.window.height}));
        EXPECT_EQ(reload_with_bar(false), start);

        std::vector<std::string> maximised{"MAXIMIZED_VERT", "MAXIMIZED_HORZ"};
        hold(maximised, true);
        reload_with_bar(true, false);
        EXPECT_EQ(hold(maximised, false), with_bar);
        hold(maximised, true);
        reload_with_bar(false, false);
        EXPECT_EQ(hold(maximised, false), start);
}

INSTANTIATE_TEST_SUITE_P(Wm, PermanentBarWindow, testing::Values(Wm::openbox), wm_name);

bool demands_attention(unsigned long window)
{
        return xprop(window, {"_NET_WM_STATE"}).find("_NET_WM_STATE_DEMANDS_ATTENTION") !=
               std::string::npos;
}

bool urgent(unsigned long window)
{
        return xprop(window, {"WM_HINTS"}).find("urgency hint bit is set") != std::string::npos;
}

// openbox passes the focus to the newest window: the bell rings in one
// the user is not looking at.
TEST(UnderOpenbox, BellInABackgroundWindowDemandsAttention)
{
        WindowManager wm;
        ASSERT_EQ(wm.failure(), "");
        TempDir dir;
        auto ring = dir.file("ring");
        Brackenfold ringing{{"sh", "-c",
                             "while [ ! -e \"$0\" ]; do sleep 0.05; done; printf '\\a'; "
                             "exec sleep 1000",
                             ring}};
        auto window = ringing.wait_for_window();
        ASSERT_NE(window, 0u) << ringing.err();
        ASSERT_TRUE(wm.manages(window));
        Brackenfold front{{"sleep", "1000"}};
        auto front_window = front.wait_for_window();
        ASSERT_NE(front_window, 0u) << front.err();
        ASSERT_TRUE(wm.manages(front_window));
        auto active = take_text(g_strdup_printf("window id # 0x%lx", front_window));
        ASSERT_TRUE(wait_until([&] {
                return run({"xprop", "-root", "_NET_ACTIVE_WINDOW"}).find(active) !=
                       std::string::npos;
        }));
        EXPECT_FALSE(urgent(window));
        EXPECT_FALSE(demands_attention(window));

        write_file(ring, "");
        EXPECT_TRUE(wait_until([&] { return urgent(window); }));
        EXPECT_TRUE(wait_until([&] { return demands_attention(window); }))
            << xprop(window, {"_NET_WM_STATE"});
        EXPECT_FALSE(demands_attention(front_window));

        for (auto w : {window, front_window})
                close_window(w);
        EXPECT_EQ(ringing.wait_exit(), 0);
        EXPECT_EQ(front.wait_exit(), 0);
}

// A task bar or pager asks the window manager, which asks the window.
TEST(UnderOpenbox, ClosingThroughTheWindowManagerEndsTheProgram)
{
        WindowManager wm;
        ASSERT_EQ(wm.failure(), "");
        Brackenfold app{{"sleep", "1000"}};
        auto window = app.wait_for_window();
        ASSERT_NE(window, 0u) << app.err();
        ASSERT_TRUE(wm.manages(window));
        close_window_through_wm(window);
        EXPECT_EQ(app.wait_exit(), 0) << app.err();
}

} // namespace
