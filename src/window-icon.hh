// SPDX-License-Identifier: BSD-2-Clause
// The window's icon, set once its first frame is on screen.
#pragma once

#include <gtk/gtk.h>

// The program's own icon, compiled in: what the window shows where the
// icon theme has no icon of the name asked for. The build draws it from the
// installed SVG at 48 pixels, the size GTK gives a window whose themed icon
// is scalable.
inline constexpr const char* own_icon_resource = "/brackenfold/icons/io.github.brackenfold.png";
inline constexpr int own_icon_size = 48;

// Gives `window` the themed icon `name` once it has painted its first frame
// and the main loop has nothing else to do. Looking an icon up loads the
// whole icon theme (its index and every directory it lists): about a tenth
// of the program's start-up, which neither the window nor the first output
// of its command need wait for. The window gets the icon in every size the
// theme has it in, as GTK would give it for the name, from a theme loaded
// for this one question and dropped afterwards (the screen's theme would
// stay loaded for the life of the process), and asks again whenever the
// desktop's icon theme changes. Where the theme has no such icon (Adwaita
// 48 dropped its full-colour "utilities-terminal"), the window gets the
// program's own icon instead.
void window_set_icon_name_after_first_frame(GtkWindow* window, const char* name);
