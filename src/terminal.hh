// SPDX-License-Identifier: BSD-2-Clause
// The terminal view: one VTE terminal with its search bar, notification bar
// and context menus, built from the compiled-in template.
#pragma once

#include <gtk/gtk.h>

#include <string_view>

G_BEGIN_DECLS
G_DECLARE_FINAL_TYPE(Terminal, terminal, BRACKENFOLD, TERMINAL, GtkOverlay)
G_END_DECLS

// Creates the terminal inside `parent`, loads the configuration and starts
// the command of `argv` (everything after the program's name), or the
// user's shell when there is none.
Terminal* terminal_new(int argc, char** argv, GtkContainer* parent,
                       GtkWindow* window);

GtkWindow* terminal_get_window(Terminal* self);
void terminal_set_window(Terminal* self, GtkWindow* window);

// Reads the configuration file again and applies it; with `notify`, a clean
// load is reported in the notification bar too.
void terminal_load_config(Terminal* self, bool notify);

// The pattern that finds links in the terminal's text, and its compile
// flags (PCRE2_MULTILINE | PCRE2_CASELESS).
extern const std::string_view terminal_link_pattern;
inline constexpr guint32 terminal_link_pattern_flags = 0x00000400u | 0x00000008u;
