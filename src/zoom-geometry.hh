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

// Maximised, full screen or tiled, the window has the size its window
// manager gives it, and gets its own size back afterwards. Meanwhile the
// size hints must not ask for whole cells: GTK would fit the held size to
// them and ask for that, and a window manager takes such a request as the
// size to give back. So the hold lasts until the window is seen at a size
// of its own again, and, after a zoom during the hold, at the size asked
// for in the new cells.
class SizeHold {
public:
        enum class End {
                none,
                given_back, // at a size of its own: fit() it, or it is free
                fitted,     // at the size fit() asked for, or given up on it
        };

        // The window manager took (`held`) or gave back the window's size,
        // which is `window` as far as the program knows; `cells` are the
        // cells now.
        End state_changed(bool held, PixelSize window, PixelSize cells);

        // The window is now `window` in size.
        End resized(PixelSize window);

        // A window manager that gave the size back before it said so sends
        // no other size afterwards, and one may not take the size asked for:
        // after a while, whatever is awaited ends anyway.
        End stop_waiting();

        // Given back, the window is to be `size`: the hold lasts until it is.
        void fit(PixelSize size);

        // From the window manager taking the size until the window has one
        // of its own again.
        bool holding() const { return m_phase != Phase::free; }

        // Awaiting the window manager, not the program's own request.
        bool held() const { return m_phase == Phase::held || m_phase == Phase::giving_back; }

        // Given back by the window manager, not yet seen at a size of its own.
        bool giving_back() const { return m_phase == Phase::giving_back; }

        // The cells when the hold began: a zoom meanwhile sizes the window
        // from them once the hold ends.
        PixelSize cells() const { return m_cells; }

private:
        enum class Phase { free, held, giving_back, fitting };
        Phase m_phase = Phase::free;
        PixelSize m_held_window;
        PixelSize m_fit;
        PixelSize m_cells;
};
