// SPDX-License-Identifier: BSD-2-Clause
// The window manager taking the window's size and giving it back, in the
// orders window managers tell it in, worked out without a window.
#include "size-hold.hh"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

std::ostream& operator<<(std::ostream& out, SizeHold::End end)
{
        return out << (end == SizeHold::End::none         ? "none"
                       : end == SizeHold::End::given_back ? "given back"
                                                          : "fitted");
}

namespace {

// Cells of a 10 x 23 font, and of the same font one and two zoom steps up.
PixelSize cells_at(int level)
{
        static const PixelSize cells[] = {{10, 23}, {12, 28}, {14, 33}};
        return cells[level];
}

// 80 x 24 cells at level 0.
constexpr PixelSize start{4 + 80 * 10, 4 + 24 * 23};

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
