// Key chords, zoom, clipboard, drag-and-drop, the window title and the bell.
#include "terminal-private.hh"

void vte_copy(Terminal*, VteFormat) {}
gboolean vte_key_press(GtkWidget*, GdkEventKey*, Terminal*) noexcept { return false; }
gboolean vte_scroll(GtkWidget*, GdkEventScroll*, Terminal*) noexcept { return false; }
void vte_paste(GtkMenuItem*, Terminal*) noexcept {}
void window_set_title(VteTerminal*, Terminal*) noexcept {}
void window_toggle_urgency(VteTerminal*, Terminal*) noexcept {}
void vte_drag_data_received(GtkWidget*, GdkDragContext*, int, int, GtkSelectionData*,
                            guint, guint, Terminal*) noexcept {}
