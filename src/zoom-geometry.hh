// SPDX-License-Identifier: BSD-2-Clause
// The window's size across zoom steps, worked out without any widget.
//
// Every step sizes the window from one remembered size, the anchor: the
// size the window had before the first step. Sizing from the size the last
// step left would add up each step's rounding to whole cells, and the
// window would walk smaller or larger the more the user zooms.
#pragma once

#include <optional>
#include <vector>

struct PixelSize {
        int width = 0;
        int height = 0;
        friend bool operator==(PixelSize, PixelSize) = default;
};

// What the window holds around its grid, and the least grid it shows.
struct GridFrame {
        PixelSize base;          // the window around the grid
        int min_columns = 28;
        int min_rows = 3;
        bool whole_cells = true; // the window manager sizes it in cells
};

class ZoomGeometry {
public:
        // One zoom step, which changed the cells from `before` to `after`
        // while the window was `window`: the window size to ask for. With
        // whole cells, the one nearest the anchor; back at the anchor's
        // cells, the anchor itself.
        PixelSize step(PixelSize window, PixelSize before, PixelSize after,
                       const GridFrame& frame);

        // The cells changed for another reason (a new font): the next step
        // starts from the window as it is then.
        void forget();

private:
        // A window whose size none of the steps since the anchor asked for
        // was resized by the user: the steps go on from that size.
        void follow_user_resize(PixelSize window, PixelSize cells);

        struct Anchor {
                PixelSize window;
                PixelSize cells;
        };
        std::optional<Anchor> m_anchor;
        // Asked for since the anchor was taken. The window may still be on
        // its way to one of them when the next step comes.
        std::vector<PixelSize> m_requested;
};
