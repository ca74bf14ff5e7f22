// The window's icon, set once its first frame is on screen.
#pragma once

#include <gtk/gtk.h>

// Gives `window` the themed icon `name` right after it has painted its first
// frame. Looking an icon up loads the whole icon theme (its index and every
// directory it lists): about a tenth of the program's start-up, which the
// window need not wait for.
void window_set_icon_name_after_first_frame(GtkWindow* window, const char* name);
