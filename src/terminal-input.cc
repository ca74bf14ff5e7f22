// SPDX-License-Identifier: BSD-2-Clause
// Key chords, zoom, clipboard, drag-and-drop, the window title and the bell.
#include "input-logic.hh"
#include "terminal-private.hh"
#include "vte-compat.hh"

#include <utility>

static constexpr const char* program_name = "brackenfold";

void vte_copy(Terminal* self, VteFormat format)
{
        g_return_if_fail(self != NULL);
        if (vte_terminal_get_has_selection(self->vte))
                vte_terminal_copy_clipboard_format(self->vte, format);
}

PixelSize resize_for_cells(Terminal* self, PixelSize size, PixelSize before)
{
        auto wanted = self->priv->zoom_geometry.step(size, before, cell_size(self),
                                                     grid_frame(self));
        // Asked for even when it is the size now: an earlier step's request
        // may still be on its way, and this one must win.
        gtk_window_resize(self->priv->window.get(), wanted.width, wanted.height);
        return wanted;
}

// The window keeps its size in pixels as closely as whole cells of the new
// size allow, and comes back to its old size with the old cells. While the
// window manager holds its size, the grid follows the new cells inside it,
// and the window is sized for them once it has its own size back.
static void set_zoom(Terminal* self, double scale)
{
        auto& hold = self->priv->size_hold;
        // Still on its way to a size asked for after a hold: this step is
        // from the size it has now.
        if (!hold.held() && hold.stop_waiting() != SizeHold::End::none)
                size_hold_cancel_timeout(self);
        PixelSize size;
        gtk_window_get_size(self->priv->window.get(), &size.width, &size.height);
        auto before = cell_size(self);
        {
                OwnFontChange own{*self->priv};
                vte_terminal_set_font_scale(self->vte, scale);
        }
        // A window manager sizes the window in cells of the hints it has:
        // they must be the new ones by the time it sees the request.
        update_geometry_hints(self);
        if (!hold.holding())
                resize_for_cells(self, size, before);
}

// The desktop's resolution or font settings changed the cells. As with a
// zoom, the window keeps its size as closely as whole cells allow, and the
// old cells give the old size back: left to GTK, which fits the window to
// the new hints by rounding down, it would lose up to a cell at every
// change. Before the window is shown, its size follows the grid anyway.
void cells_changed(Terminal* self)
{
        auto priv = self->priv;
        auto before = priv->hinted_cells;
        update_geometry_hints(self);
        if (priv->own_font_change || !before || *before == cell_size(self))
                return;
        // A hold ends with the window sized for the cells it has then.
        auto window = priv->window.get();
        if (priv->size_hold.holding() || !window || !gtk_widget_get_mapped(GTK_WIDGET(window)))
                return;
        PixelSize size;
        gtk_window_get_size(window, &size.width, &size.height);
        resize_for_cells(self, size, *before);
}

void size_hold_cancel_timeout(Terminal* self)
{
        // Emptied before the removal, which drops the timer's reference.
        if (auto id = std::exchange(self->priv->size_hold_timeout, std::nullopt))
                g_source_remove(*id);
}

static void size_hold_ended(Terminal* self, SizeHold::End end, PixelSize size);

static gboolean size_hold_timeout_expired(gpointer data) noexcept
{
        auto self = static_cast<Terminal*>(data);
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), G_SOURCE_REMOVE);
        self->priv->size_hold_timeout.reset();
        guard_exceptions("size_hold_timeout_expired", [&] {
                PixelSize size;
                gtk_window_get_size(self->priv->window.get(), &size.width, &size.height);
                size_hold_ended(self, self->priv->size_hold.stop_waiting(), size);
        });
        return G_SOURCE_REMOVE;
}

// Long enough for the size that follows the state or the request, short
// enough that a user does not zoom or resize before it.
static constexpr guint size_hold_timeout_ms = 250;

static void wait_for_window(Terminal* self)
{
        size_hold_cancel_timeout(self);
        self->priv->size_hold_timeout =
            g_timeout_add_full(G_PRIORITY_DEFAULT, size_hold_timeout_ms,
                               size_hold_timeout_expired, g_object_ref(self), g_object_unref);
}

// A zoom during the hold: the size given back is in the cells of before,
// and the window is sized for the new ones. Whole cells only once it has
// that size: asked for at once, GTK would also fit the size given back to
// them and ask for that, and either request could come last.
static void size_given_back(Terminal* self, PixelSize size)
{
        auto priv = self->priv;
        auto& hold = priv->size_hold;
        auto before = hold.cells();
        // A permanent scroll bar that a reload turned on or off meanwhile:
        // the size given back was the window around the grid without it, or
        // with it.
        auto base_change = priv->base_width - priv->held_base_width;
        if (cell_size(self) == before && base_change == 0) {
                update_geometry_hints(self);
                return;
        }
        size.width += base_change;
        hold.fit(resize_for_cells(self, size, before));
        wait_for_window(self);
}

static void size_hold_ended(Terminal* self, SizeHold::End end, PixelSize size)
{
        if (end == SizeHold::End::none)
                return;
        size_hold_cancel_timeout(self);
        if (end == SizeHold::End::given_back)
                size_given_back(self, size);
        else
                update_geometry_hints(self);
}

static constexpr auto size_held_states =
    GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_TILED |
    GDK_WINDOW_STATE_TOP_TILED | GDK_WINDOW_STATE_RIGHT_TILED |
    GDK_WINDOW_STATE_BOTTOM_TILED | GDK_WINDOW_STATE_LEFT_TILED;

static gboolean window_state_changed(GtkWindow* window, GdkEventWindowState* event,
                                     Terminal* self) noexcept
{
        g_return_val_if_fail(event != NULL, false);
        guard_exceptions("window_state_changed", [&] {
                auto& hold = self->priv->size_hold;
                auto was_holding = hold.holding();
                PixelSize size;
                gtk_window_get_size(window, &size.width, &size.height);
                auto held = (event->new_window_state & size_held_states) != 0;
                auto end = hold.state_changed(held, size, cell_size(self));
                if (!was_holding && hold.holding())
                        self->priv->held_base_width = self->priv->base_width;
                if (end != SizeHold::End::none)
                        size_hold_ended(self, end, size);
                else if (hold.giving_back())
                        wait_for_window(self);
                else if (hold.holding() != was_holding)
                        update_geometry_hints(self);
        });
        return false;
}

// Read as the zoom reads it, not off the configure event: with client-side
// decorations (Wayland) that event counts their shadows in.
static void window_allocated(GtkWidget* window, GdkRectangle*, Terminal* self) noexcept
{
        g_return_if_fail(GTK_IS_WINDOW(window));
        guard_exceptions("window_allocated", [&] {
                PixelSize size;
                gtk_window_get_size(GTK_WINDOW(window), &size.width, &size.height);
                size_hold_ended(self, self->priv->size_hold.resized(size), size);
        });
}

void follow_size_hold(Terminal* self)
{
        auto window = self->priv->window.get();
        g_signal_connect_object(window, "window-state-event", G_CALLBACK(window_state_changed),
                                self, GConnectFlags(0));
        g_signal_connect_object(window, "size-allocate", G_CALLBACK(window_allocated), self,
                                G_CONNECT_AFTER);
}

static void zoom(Terminal* self, ZoomStep step)
{
        set_zoom(self, zoom_scale_step(vte_terminal_get_font_scale(self->vte), step));
}

// The bar may already be shown with the focus elsewhere: the chord always
// ends with the focus in the entry. A closed bar maps the entry only with its
// first frame of sliding in, while the chord's own key releases and the
// first keys typed come at once: the entry must be realised to take them.
static void reveal_search(Terminal* self)
{
        if (!gtk_revealer_get_reveal_child(self->search_revealer))
                gtk_revealer_set_reveal_child(self->search_revealer, true);
        gtk_widget_realize(GTK_WIDGET(self->search_entry));
        gtk_window_set_focus(self->priv->window.get(), GTK_WIDGET(self->search_entry));
}

// Control+Shift chords; any further modifiers held do not matter.
static bool run_application_chord(Terminal* self, guint keyval)
{
        switch (keyval) {
        case GDK_KEY_C:
                vte_copy(self, VTE_FORMAT_TEXT);
                return true;
        case GDK_KEY_F:
                reveal_search(self);
                return true;
        case GDK_KEY_O:
                open_directory_here(self);
                return true;
        case GDK_KEY_R:
                load_config(self, true);
                return true;
        case GDK_KEY_T:
                open_terminal_here(self);
                return true;
        case GDK_KEY_V:
                vte_terminal_paste_clipboard(self->vte);
                return true;
        default:
                return false;
        }
}

static bool run_zoom_chord(Terminal* self, guint keyval)
{
        switch (keyval) {
        case GDK_KEY_minus:
                zoom(self, ZoomStep::out);
                return true;
        case GDK_KEY_equal:
                zoom(self, ZoomStep::in);
                return true;
        case GDK_KEY_0:
                set_zoom(self, zoom_scale_reset);
                return true;
        default:
                return false;
        }
}

static bool run_key_chord(Terminal* self, const GdkEventKey& event)
{
        constexpr auto both = GdkModifierType(GDK_SHIFT_MASK | GDK_CONTROL_MASK);
        // With Caps Lock on, Shift gives the lower-case letter: without this
        // Control+Shift+C would reach the child as ^C.
        if ((event.state & both) == both &&
            run_application_chord(self, gdk_keyval_to_upper(event.keyval)))
                return true;
        if (!(event.state & GDK_CONTROL_MASK))
                return false;
        return run_zoom_chord(self, event.keyval);
}

gboolean vte_key_press(GtkWidget*, GdkEventKey* event, Terminal* self) noexcept
{
        g_return_val_if_fail(self != NULL, FALSE);
        g_return_val_if_fail(event != NULL, FALSE);
        // A chord whose action failed was still meant for us, not the child.
        return guard_exceptions("vte_key_press", TRUE,
                                [&]() -> gboolean { return run_key_chord(self, *event); });
}

gboolean vte_scroll(GtkWidget*, GdkEventScroll* event, Terminal* self) noexcept
{
        g_return_val_if_fail(self != NULL, FALSE);
        g_return_val_if_fail(event != NULL, FALSE);
        if (!(event->state & GDK_CONTROL_MASK))
                return false;
        // Only smooth scrolling carries deltas; a plain wheel click, or a
        // sideways scroll, adds nothing.
        double dx = 0.0, dy = 0.0;
        if (!gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), &dx, &dy))
                dy = 0.0;
        auto step = accumulate_wheel_delta(self->priv->scroll_accumulator, dy);
        if (step != ZoomStep::none)
                zoom(self, step);
        return true;
}

void vte_paste(GtkMenuItem*, Terminal* self) noexcept
{
        g_return_if_fail(self != NULL);
        vte_terminal_paste_clipboard(self->vte);
}

void window_set_title(VteTerminal*, Terminal* self) noexcept
{
        g_return_if_fail(self != NULL);
        g_return_if_fail(self->priv->window != nullptr);
        guard_exceptions("window_set_title", [&] {
                auto title = vte_compat_window_title(self->vte);
                auto window = self->priv->window.get();
                if (!title || title->empty()) {
                        gtk_window_set_title(window, program_name);
                        return;
                }
                auto text = CharPtr{g_strdup_printf("%s - %s", title->c_str(), program_name)};
                gtk_window_set_title(window, text.get());
        });
}

// Switching the hint off first makes every bell a fresh request, even
// when the previous one is still pending.
void window_toggle_urgency(VteTerminal*, Terminal* self) noexcept
{
        g_return_if_fail(self != NULL);
        g_return_if_fail(self->priv->window != nullptr);
        gtk_window_set_urgency_hint(self->priv->window.get(), false);
        gtk_window_set_urgency_hint(self->priv->window.get(), true);
}

enum DropInfo : guint { drop_text = 0, drop_uri_list = 1 };

static void paste_dropped_uris(Terminal* self, GtkSelectionData* data)
{
        auto uris = StrvPtr{gtk_selection_data_get_uris(data)};
        auto text = dropped_uris_text(uris.get());
        vte_terminal_paste_text(self->vte, text.c_str());
}

static void paste_dropped_text(Terminal* self, GtkSelectionData* data)
{
        auto text = CharPtr{reinterpret_cast<char*>(gtk_selection_data_get_text(data))};
        if (text)
                vte_terminal_paste_text(self->vte, text.get());
}

void vte_drag_data_received(GtkWidget*, GdkDragContext*, int, int,
                            GtkSelectionData* data, guint info, guint,
                            Terminal* self) noexcept
{
        g_return_if_fail(self != NULL);
        g_return_if_fail(data != NULL);
        guard_exceptions("vte_drag_data_received", [&] {
                if (info == drop_uri_list)
                        paste_dropped_uris(self, data);
                else if (info == drop_text)
                        paste_dropped_text(self, data);
        });
}
