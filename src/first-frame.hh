// SPDX-License-Identifier: BSD-2-Clause
// Work that the window's first frame need not wait for.
#pragma once

#include <gtk/gtk.h>

using FirstFrameWork = void (*)(GtkWidget* widget);

// Below everything else, G_PRIORITY_LOW included: VTE watches the child at
// that priority, and work ready alongside a child that has just exited
// would run after the program was told to end (a short command would wait
// for the icon theme before it returned).
inline constexpr int first_frame_work_priority = G_PRIORITY_LOW + 1;

// A main loop that is never idle (output flooding in from the child) gets
// the work done this long after the first frame all the same.
inline constexpr guint first_frame_work_deadline_ms = 1000;

// Calls `work(widget)` once the widget's window has painted its first frame
// after the widget was mapped, at the next moment the main loop has nothing
// else to do (or, failing that, first_frame_work_deadline_ms after the
// frame): whatever came with that frame (the shell's first prompt, the end
// of a command already over) goes first. Nothing is called if the widget
// is gone or destroyed by then. A widget already mapped waits for its next
// frame, which it asks for.
void after_first_frame(GtkWidget* widget, FirstFrameWork work);
