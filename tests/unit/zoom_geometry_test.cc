// SPDX-License-Identifier: BSD-2-Clause
// The window sizes zoom steps ask for, worked out without a window: a
// window that takes every size at once, one that lags a step behind, and
// the user's resizes in between.
#include "zoom-geometry.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <vector>

std::ostream& operator<<(std::ostream& out, PixelSize s)
{
        return out << s.width << " x " << s.height;
}

std::ostream& operator<<(std::ostream& out, SizeHold::End end)
{
        return out << (end == SizeHold::End::none         ? "none"
                       : end == SizeHold::End::given_back ? "given back"
                                                          : "fitted");
}

namespace {

const GridFrame frame{.base = {4, 4}};

// The cells of a 10 x 23 font at zoom level `level` (a power of 1.2),
// rounded as a font's metrics are.
PixelSize cells_at(int level)
{
        auto scale = std::pow(1.2, level);
        return {int(std::lround(10 * scale)), int(std::lround(23 * scale))};
}

// 80 x 24 cells at level 0.
constexpr PixelSize start{4 + 80 * 10, 4 + 24 * 23};

bool whole_cells(PixelSize window, PixelSize cells)
{
        return (window.width - 4) % cells.width == 0 && (window.height - 4) % cells.height == 0;
}

// Within half a cell of `anchor`, or larger only to keep 28 x 3 cells.
bool nearest(PixelSize window, PixelSize cells, PixelSize anchor)
{
        auto axis = [](int got, int want, int cell, int least) {
                return 2 * std::abs(got - want) <= cell || (got == least && got > want);
        };
        return axis(window.width, anchor.width, cells.width, 4 + 28 * cells.width) &&
               axis(window.height, anchor.height, cells.height, 4 + 3 * cells.height);
}

struct Walk {
        const char* name;
        std::vector<int> levels; // after each step, from level 0
        int lag;                 // steps the window is behind the requests
};

class Walks : public testing::TestWithParam<Walk> {};

// However the steps go, every size is the nearest whole grid to the start,
// and back at level 0 it is the start, even while the window still
// carries out older requests.
TEST_P(Walks, KeepTheStartAndComeBackToIt)
{
        ZoomGeometry geometry;
        std::vector<PixelSize> taken{start}; // what the window has been
        auto level = 0;
        for (auto next : GetParam().levels) {
                SCOPED_TRACE("to level " + std::to_string(next));
                auto lagging = std::max(0, int(taken.size()) - 1 - GetParam().lag);
                auto size = geometry.step(taken[size_t(lagging)], cells_at(level),
                                          cells_at(next), frame);
                EXPECT_TRUE(whole_cells(size, cells_at(next))) << size;
                EXPECT_TRUE(nearest(size, cells_at(next), start)) << size;
                if (next == 0) {
                        EXPECT_EQ(size, start);
                }
                taken.push_back(size);
                level = next;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Zoom, Walks,
    testing::Values(Walk{"InAndBack", {1, 0, -1, 0}, 0},
                    Walk{"SevenInSevenOut", {1, 2, 3, 4, 5, 6, 7, 6, 5, 4, 3, 2, 1, 0}, 0},
                    Walk{"SevenOutSevenIn",
                         {-1, -2, -3, -4, -5, -6, -7, -6, -5, -4, -3, -2, -1, 0}, 0},
                    Walk{"Mixed", {1, 0, -1, -2, -1, 0, 1, 2, 1, 2, 3, 0}, 0},
                    Walk{"WindowOneStepBehind", {1, 2, 3, 2, 1, 0, -1, 0}, 1},
                    Walk{"WindowThreeStepsBehind", {1, 2, 3, 4, 3, 2, 1, 0}, 3}),
    [](auto const& info) { return std::string{info.param.name}; });

TEST(ZoomGeometry, AfterTheUsersResizeZoomsFromTheUsersSize)
{
        ZoomGeometry geometry;
        auto zoomed = geometry.step(start, cells_at(0), cells_at(2), frame);
        // Not whole cells: the user resized without a window manager.
        PixelSize user{zoomed.width - 37, zoomed.height + 51};

        auto reset = geometry.step(user, cells_at(2), cells_at(0), frame);
        EXPECT_TRUE(whole_cells(reset, cells_at(0))) << reset;
        EXPECT_TRUE(nearest(reset, cells_at(0), user)) << reset;
        EXPECT_NE(reset, start);
        // Back at the cells it was resized in: the user's size itself.
        EXPECT_EQ(geometry.step(reset, cells_at(0), cells_at(2), frame), user);
}

// A new font while zoomed: the window stays as it is, in cells of the new
// font, and zooming goes on from there, not from the old font's start.
TEST(ZoomGeometry, ForgottenAfterANewFont)
{
        ZoomGeometry geometry;
        auto zoomed = geometry.step(start, cells_at(0), cells_at(1), frame);
        geometry.forget();
        const PixelSize new_font{11, 25}, new_font_unzoomed{9, 21};
        auto back = geometry.step(zoomed, new_font, new_font_unzoomed, frame);
        EXPECT_TRUE(nearest(back, new_font_unzoomed, zoomed)) << back;
        EXPECT_FALSE(nearest(back, new_font_unzoomed, start)) << back;
}

TEST(ZoomGeometry, WithoutWholeCellsTheWindowKeepsItsSize)
{
        GridFrame free{.base = {4, 4}, .whole_cells = false};
        ZoomGeometry geometry;
        PixelSize odd{start.width + 3, start.height + 7};
        EXPECT_EQ(geometry.step(odd, cells_at(0), cells_at(2), free), odd);
        // Only the least grid of 28 x 3 cells makes it larger.
        auto large = geometry.step(odd, cells_at(2), cells_at(7), free);
        EXPECT_EQ(large.width, 4 + 28 * cells_at(7).width);
        EXPECT_EQ(large.height, odd.height);
        EXPECT_EQ(geometry.step(large, cells_at(7), cells_at(0), free), odd);
}

TEST(ZoomGeometry, NeverBelowTheLeastGrid)
{
        ZoomGeometry geometry;
        auto large = geometry.step(start, cells_at(0), cells_at(7), frame);
        EXPECT_EQ(large.width, 4 + 28 * cells_at(7).width);
        EXPECT_GE(large.height, 4 + 3 * cells_at(7).height);
        EXPECT_EQ(geometry.step(large, cells_at(7), cells_at(0), frame), start);
}

// What a window manager (or the program) does in turn, and what the hold
// makes of it.
struct HoldEvent {
        enum Kind { state, resize, fit, timeout } kind;
        bool held = false;     // for `state`
        PixelSize window = {}; // for `state`, `resize` and `fit`
        PixelSize cells = {};  // for `state`
        SizeHold::End end = SizeHold::End::none;
        bool holding = true; // afterwards

        HoldEvent ends(SizeHold::End e, bool still_holding = false) const
        {
                auto copy = *this;
                copy.end = e;
                copy.holding = still_holding;
                return copy;
        }
        HoldEvent free() const
        {
                auto copy = *this;
                copy.holding = false;
                return copy;
        }
};

HoldEvent taken(PixelSize window, PixelSize cells = cells_at(0))
{
        return {HoldEvent::state, true, window, cells};
}
HoldEvent given(PixelSize window) { return {HoldEvent::state, false, window}; }
HoldEvent sized(PixelSize window) { return {HoldEvent::resize, false, window}; }
HoldEvent fitted_to(PixelSize window) { return {HoldEvent::fit, false, window}; }
HoldEvent waited() { return {HoldEvent::timeout}; }

constexpr auto given_back = SizeHold::End::given_back;
constexpr auto fitted = SizeHold::End::fitted;
const PixelSize maximised{1280, 1005}, full_screen{1280, 1024}, refit{808, 544};

struct HoldCase {
        const char* name;
        std::vector<HoldEvent> events;
};

class Holds : public testing::TestWithParam<HoldCase> {};

// The hold ends exactly when the window is seen at a size of its own
// again, whichever order the window manager tells the state and the size
// in, and however often it repeats the held size; after a zoom, once the
// window has the size asked for; and only then.
TEST_P(Holds, EndWhenTheWindowHasItsOwnSizeBack)
{
        SizeHold hold;
        auto const& events = GetParam().events;
        for (size_t i = 0; i < events.size(); ++i) {
                auto const& e = events[i];
                auto end = SizeHold::End::none;
                if (e.kind == HoldEvent::state)
                        end = hold.state_changed(e.held, e.window, e.cells);
                else if (e.kind == HoldEvent::resize)
                        end = hold.resized(e.window);
                else if (e.kind == HoldEvent::fit)
                        hold.fit(e.window);
                else
                        end = hold.stop_waiting();
                EXPECT_EQ(end, e.end) << "event " << i;
                EXPECT_EQ(hold.holding(), e.holding) << "event " << i;
        }
        if (events.front().kind == HoldEvent::state) {
                // The cells of the first hold, whatever came after it.
                EXPECT_EQ(hold.cells(), cells_at(0));
        }
}

INSTANTIATE_TEST_SUITE_P(
    SizeHold, Holds,
    testing::Values(
        // openbox: the state first, then the size, and the held size once
        // more on the way back.
        HoldCase{"StateThenSize",
                 {taken(start), sized(maximised), sized(maximised), given(maximised),
                  sized(maximised), sized(start).ends(given_back)}},
        // The size given back before the state: nothing else comes, and the
        // timer ends it.
        HoldCase{"SizeThenState",
                 {taken(start), sized(maximised), sized(start), given(start), sized(start),
                  waited().ends(given_back)}},
        // Already at a size of its own when the state comes.
        HoldCase{"KnownAtOnce",
                 {taken(start), sized(maximised), given(start).ends(given_back)}},
        // Zoomed meanwhile: held on until the window has the size asked for
        // in the new cells, not one on the way there.
        HoldCase{"ZoomedMeanwhile",
                 {taken(start), sized(maximised), given(maximised),
                  sized(start).ends(given_back), fitted_to(refit), sized(start),
                  sized({796, 544}), sized(refit).ends(fitted)}},
        // A window manager that does not give the size asked for.
        HoldCase{"RefitRefused",
                 {taken(start), sized(maximised), given(start).ends(given_back), fitted_to(refit),
                  waited().ends(fitted)}},
        // Maximised, then full screen, then back: the first hold's cells.
        HoldCase{"FromHoldToHold",
                 {taken(start), sized(maximised), taken(maximised, cells_at(2)),
                  sized(full_screen), given(full_screen), sized(start).ends(given_back)}},
        // Taken again before the size came back.
        HoldCase{"TakenAgainOnTheWayBack",
                 {taken(start), sized(maximised), given(maximised),
                  taken(maximised, cells_at(1)), sized(maximised), given(maximised),
                  sized(start).ends(given_back)}},
        // The timer while held: the window manager still has the size.
        HoldCase{"TimerWhileHeld", {taken(start), waited(), sized(maximised)}},
        // Without a hold, no size and no timer ends anything.
        HoldCase{"NeverHeld",
                 {sized(start).free(), sized(maximised).free(), waited().free(),
                  given(start).free()}}),
    [](const testing::TestParamInfo<HoldCase>& info) { return info.param.name; });

} // namespace
