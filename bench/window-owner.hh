// SPDX-License-Identifier: BSD-2-Clause
// The process that says it owns a top-level window, for the benchmark's
// proofs that a window is the launched terminal's.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>

// The window's _NET_WM_PID, 0 when it sets none.
inline long window_pid(Display* display, Window window)
{
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        auto atom = XInternAtom(display, "_NET_WM_PID", False);
        long pid = 0;
        if (XGetWindowProperty(display, window, atom, 0, 1, False, XA_CARDINAL, &type,
                               &format, &count, &after, &data) == Success &&
            data && count == 1 && format == 32)
                pid = long(*reinterpret_cast<unsigned long*>(data));
        if (data)
                XFree(data);
        return pid;
}
