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

} // namespace
