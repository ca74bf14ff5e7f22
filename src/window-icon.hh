// The window's icon, set once its first frame is on screen and nothing else
// is waiting.
#pragma once

#include <gtk/gtk.h>

// Gives `window` the themed icon `name` after it has painted its first frame,
// as soon as the main loop has nothing more urgent to do. Looking an icon up
// loads the whole icon theme (its index and every directory it lists): about
// a tenth of the program's start-up, which neither the window nor the
// child's first output need wait for.
void window_set_icon_name_after_first_frame(GtkWindow* window, const char* name);
