// Links, the two context menus and the child's working directory.
#include "terminal-private.hh"

void spawn_detached(Terminal*, const char*, const std::vector<std::string>&) {}
void launch_uri(Terminal*, const char*) {}
std::optional<std::string> get_working_directory(Terminal*) { return std::nullopt; }
void uri_open_with(Terminal*, const OpenWithProgram&) {}
void open_terminal_here(Terminal*) {}
void open_directory_here(Terminal*) {}

gboolean vte_button_press(GtkWidget*, GdkEventButton*, Terminal*) noexcept { return false; }
gboolean vte_button_release(GtkWidget*, GdkEventButton*, Terminal*) noexcept { return false; }
void vte_hyperlink_hover(VteTerminal*, const char*, GdkRectangle*, Terminal*) noexcept {}
void uri_copy(GtkMenuItem*, Terminal*) noexcept {}
void open_terminal(GtkMenuItem*, Terminal*) noexcept {}
void open_directory(GtkMenuItem*, Terminal*) noexcept {}
