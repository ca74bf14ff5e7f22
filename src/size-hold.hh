// SPDX-License-Identifier: BSD-2-Clause
// The window's size while its window manager holds it, worked out without
// any widget.
#pragma once

#include "zoom-geometry.hh"

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
