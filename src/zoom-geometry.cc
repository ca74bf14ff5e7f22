// SPDX-License-Identifier: BSD-2-Clause
#include "zoom-geometry.hh"

#include <algorithm>
#include <utility>

// One axis of the window: `anchor` pixels in whole cells of `cell`,
// rounded to the nearest cell (halves up), and never below the least grid.
static int fit_axis(int anchor, int base, int cell, int min_cells, bool whole_cells)
{
        auto least = base + min_cells * cell;
        if (!whole_cells || cell <= 0)
                return std::max(anchor, least);
        auto space = std::max(anchor - base, 0);
        auto cells = (2 * space + cell) / (2 * cell);
        return base + std::max(cells, min_cells) * cell;
}

void ZoomGeometry::follow_user_resize(PixelSize window, PixelSize cells)
{
        if (m_anchor && (window == m_anchor->window ||
                         std::ranges::find(m_requested, window) != m_requested.end()))
                return;
        m_anchor = Anchor{window, cells};
        m_requested.clear();
}

PixelSize ZoomGeometry::step(PixelSize window, PixelSize before, PixelSize after,
                             const GridFrame& frame)
{
        follow_user_resize(window, before);
        auto anchor = m_anchor->window;
        // Back at the anchor's cells the anchor itself is exact, even when
        // it was not whole cells (resized without a window manager).
        auto whole_cells = frame.whole_cells && after != m_anchor->cells;
        PixelSize size{
            fit_axis(anchor.width, frame.base.width, after.width, frame.min_columns, whole_cells),
            fit_axis(anchor.height, frame.base.height, after.height, frame.min_rows, whole_cells)};
        if (std::ranges::find(m_requested, size) == m_requested.end())
                m_requested.push_back(size);
        return size;
}

void ZoomGeometry::forget()
{
        m_anchor.reset();
        m_requested.clear();
}

SizeHold::End SizeHold::state_changed(bool held, PixelSize window, PixelSize cells)
{
        if (held) {
                // Taken again before it came back: it comes back in the
                // cells of the first hold.
                if (m_phase == Phase::free || m_phase == Phase::fitting)
                        m_cells = cells;
                m_phase = Phase::held;
                m_held_window = window;
                return End::none;
        }
        if (m_phase != Phase::held)
                return End::none;
        // The size given back may come before the state or after it, and a
        // window manager may first repeat the held one.
        m_phase = Phase::giving_back;
        return resized(window);
}

SizeHold::End SizeHold::resized(PixelSize window)
{
        switch (m_phase) {
        case Phase::held:
                m_held_window = window;
                return End::none;
        case Phase::giving_back:
                if (window == m_held_window)
                        return End::none;
                m_phase = Phase::free;
                return End::given_back;
        case Phase::fitting:
                if (window != m_fit)
                        return End::none;
                m_phase = Phase::free;
                return End::fitted;
        case Phase::free:
                break;
        }
        return End::none;
}

SizeHold::End SizeHold::stop_waiting()
{
        auto phase = std::exchange(m_phase, m_phase == Phase::held ? Phase::held : Phase::free);
        return phase == Phase::giving_back ? End::given_back
               : phase == Phase::fitting   ? End::fitted
                                           : End::none;
}

void SizeHold::fit(PixelSize size)
{
        m_phase = Phase::fitting;
        m_fit = size;
}
