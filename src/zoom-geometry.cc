// SPDX-License-Identifier: BSD-2-Clause
#include "zoom-geometry.hh"

#include <algorithm>

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
