// SPDX-License-Identifier: BSD-2-Clause
#include "size-hold.hh"

#include <utility>

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
