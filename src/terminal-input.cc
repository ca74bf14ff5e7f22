// Key chords, zoom, clipboard, drag-and-drop, the window title and the bell.
#include "input-logic.hh"
#include "terminal-private.hh"
#include "vte-compat.hh"

static constexpr const char* program_name = "brackenfold";

void vte_copy(Terminal* self, VteFormat format)
{
        g_return_if_fail(self != NULL);
        if (vte_terminal_get_has_selection(self->vte))
                vte_terminal_copy_clipboard_format(self->vte, format);
}

// The window keeps its size in pixels as closely as whole cells of the new
// size allow, and comes back to its old size with the old cells.
static void set_zoom(Terminal* self, double scale)
{
        auto window = self->priv->window.get();
        PixelSize size;
        gtk_window_get_size(window, &size.width, &size.height);
        auto before = cell_size(self);
        vte_terminal_set_font_scale(self->vte, scale);
        // A window manager sizes the window in cells of the hints it has:
        // they must be the new ones by the time it sees the request.
        update_geometry_hints(self);
        auto wanted = self->priv->zoom_geometry.step(size, before, cell_size(self),
                                                     grid_frame(self));
        // Asked for even when it is the size now: an earlier step's request
        // may still be on its way, and this one must win.
        gtk_window_resize(window, wanted.width, wanted.height);
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
