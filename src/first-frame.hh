// SPDX-License-Identifier: BSD-2-Clause
// Work that the window's first frame need not wait for.
#pragma once

#include <gtk/gtk.h>

using FirstFrameWork = void (*)(GtkWidget* widget);

// Calls `work(widget)` once the widget's window has painted its first frame
// after the widget was mapped, at the next moment the main loop has nothing
// else to do: whatever came with that frame (the shell's first prompt, the
// end of a command already over) goes first. Nothing is called if the
// widget is gone by then. A widget already mapped waits for its next
// frame, which it asks for.
void after_first_frame(GtkWidget* widget, FirstFrameWork work);
