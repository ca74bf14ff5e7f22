// SPDX-License-Identifier: BSD-2-Clause
// What the terminal's feature units share: the instance struct, the C++
// state it owns and the operations one feature calls in another.
#pragma once

#include "config.hh"
#include "terminal.hh"
#include "utils.hh"
#include "size-hold.hh"
#include "zoom-geometry.hh"

#include <vte/vte.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TerminalPrivate {
        RefPtr<GtkWindow> window;
        RefPtr<GtkClipboard> clipboard;
        RefPtr<GtkClipboard> primary;
        RefPtr<GtkSettings> settings;
        std::shared_ptr<const Config> config;
        std::vector<RefPtr<GtkWidget>> open_with_items;
        GPid child_pid = 0;
        bool has_search_regex = false;
        bool overlay_scrolling_disabled = false;
        std::optional<std::string> match_uri;
        std::optional<std::string> hyperlink_uri;
        std::optional<guint> infobar_timeout;
        double scroll_accumulator = 0.0;
        ZoomGeometry zoom_geometry;
        SizeHold size_hold;
        std::optional<guint> size_hold_timeout;
        int base_height = 4; // the style sheet's 2px padding, above and below
        int base_width = -1; // measured by the first configuration load
        // The window around the grid when the window manager took the size.
        int held_base_width = 0;
        // The cells the size hints were last given for.
        std::optional<PixelSize> hinted_cells;
        // The program's own zoom or new font changes the cells, and sizes
        // the window itself.
        bool own_font_change = false;
};

// Marks the program's own change of the cells for as long as it lives.
class OwnFontChange {
public:
        explicit OwnFontChange(TerminalPrivate& priv)
            : m_flag(priv.own_font_change), m_was(std::exchange(m_flag, true))
        {
        }
        ~OwnFontChange() { m_flag = m_was; }
        OwnFontChange(const OwnFontChange&) = delete;
        OwnFontChange& operator=(const OwnFontChange&) = delete;

private:
        bool& m_flag;
        bool m_was;
};

// Template children are borrowed from the widget tree; everything with a
// constructor lives in `priv`.
struct _Terminal {
        GtkOverlay parent_instance;

        GtkButton* search_button_down;
        GtkButton* search_button_up;
        GtkInfoBar* infobar;
        GtkLabel* infobar_label;
        GtkMenu* standard_context_menu;
        GtkMenu* uri_context_menu;
        GtkWidget* copy_item_text;
        GtkWidget* copy_item_html;
        GtkWidget* open_terminal_item;
        GtkWidget* open_directory_item;
        GtkRevealer* search_revealer;
        GtkScrolledWindow* scrolled_window;
        GtkSearchEntry* search_entry;
        GtkWidget* open_with_separator;
        VteTerminal* vte;

        TerminalPrivate* priv;
};

// Configuration and notification bar (terminal-config.cc)
void load_config(Terminal* self, bool notify);
// Hands the window manager the current cell size, e.g. after a zoom.
void update_geometry_hints(Terminal* self);
// The terminal's cell size in pixels.
PixelSize cell_size(Terminal* self);
// The window around the grid, as the geometry hints describe it.
GridFrame grid_frame(Terminal* self);
void infobar_show(Terminal* self, const char* message, GtkMessageType type,
                  std::optional<guint> timeout);
void remove_open_with_items(Terminal* self);
void infobar_cancel_timeout(Terminal* self);
void infobar_respond(GtkInfoBar* bar, int response, Terminal* self) noexcept;
void infobar_close(GtkInfoBar* bar, Terminal* self) noexcept;

// Keys, zoom and the window's size (terminal-input.cc)
// Follows the window manager taking and giving back the window's size.
void follow_size_hold(Terminal* self);
// Asks for the size for the window at the cells now, which had `size` at
// the cells `before`: as close in pixels as whole cells allow, and back at
// old cells the old size. Returns the size asked for.
PixelSize resize_for_cells(Terminal* self, PixelSize size, PixelSize before);
// Also when the terminal is destroyed (the timer holds it).
void size_hold_cancel_timeout(Terminal* self);
// The terminal's cells changed, for whatever reason.
void cells_changed(Terminal* self);

// Links, menus and directories (terminal-links.cc)
void spawn_detached(Terminal* self, const char* working_directory,
                    const std::vector<std::string>& argv);
void launch_uri(Terminal* self, const char* uri);
std::optional<std::string> get_working_directory(Terminal* self);
void uri_open_with(Terminal* self, const OpenWithProgram& program);
void open_terminal_here(Terminal* self);
void open_directory_here(Terminal* self);
// An open-with program's arguments with every "%" replaced by the link.
std::vector<std::string> open_with_argv(const std::vector<std::string>& argv,
                                        const std::string& link);
gboolean vte_button_press(GtkWidget* widget, GdkEventButton* event,
                          Terminal* self) noexcept;
gboolean vte_button_release(GtkWidget* widget, GdkEventButton* event,
                            Terminal* self) noexcept;
void vte_hyperlink_hover(VteTerminal* vte, const char* uri,
                         GdkRectangle* bbox, Terminal* self) noexcept;
void uri_copy(GtkMenuItem* item, Terminal* self) noexcept;
void open_terminal(GtkMenuItem* item, Terminal* self) noexcept;
void open_directory(GtkMenuItem* item, Terminal* self) noexcept;

// Scrollback search (terminal-search.cc)
void search(Terminal* self, bool up);
void search_entry_reset(Terminal* self);
void search_entry_indicate(Terminal* self, const char* tooltip);
void search_changed(GtkSearchEntry* entry, Terminal* self) noexcept;
void search_up(GtkWidget* widget, Terminal* self) noexcept;
void search_down(GtkWidget* widget, Terminal* self) noexcept;
void search_stop(GtkSearchEntry* entry, Terminal* self) noexcept;
gboolean search_entry_key_press(GtkWidget* entry, GdkEventKey* event,
                                Terminal* self) noexcept;

// Keys, zoom, clipboard, drag-and-drop, title and bell (terminal-input.cc)
void vte_copy(Terminal* self, VteFormat format);
gboolean vte_key_press(GtkWidget* widget, GdkEventKey* event,
                       Terminal* self) noexcept;
gboolean vte_scroll(GtkWidget* widget, GdkEventScroll* event,
                    Terminal* self) noexcept;
void vte_paste(GtkMenuItem* item, Terminal* self) noexcept;
void window_set_title(VteTerminal* vte, Terminal* self) noexcept;
void window_toggle_urgency(VteTerminal* vte, Terminal* self) noexcept;
void vte_drag_data_received(GtkWidget* widget, GdkDragContext* context,
                            int x, int y, GtkSelectionData* data,
                            guint info, guint time, Terminal* self) noexcept;
