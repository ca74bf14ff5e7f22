// SPDX-License-Identifier: BSD-2-Clause
#include "terminal-private.hh"

#include "first-frame.hh"

#include <algorithm>
#include <cstdlib>

const std::string_view terminal_link_pattern =
    "(?>https?|ftp|gopher|rtmp):\\/\\/"
    "(?>[^[:punct:][:space:]]|\\[[0-9a-f:]+(%[[:alnum:]_-]+)?\\])"
    "(?>(?>[.,!?:;]*)(?>[^][)(><\"\u201C\u201D.,!?:;[:space:]]+"
    "|\\([^)([:space:]]*\\)|\"[^\"[:space:]]*\"))+";

using RegexPtr = Owned<VteRegex, vte_regex_unref>;
using TargetListPtr = Owned<GtkTargetList, gtk_target_list_unref>;

enum { PROP_0, PROP_WINDOW, N_PROPS };
static GParamSpec* properties[N_PROPS];

G_DEFINE_TYPE(Terminal, terminal, GTK_TYPE_OVERLAY)

GtkWindow* terminal_get_window(Terminal* self)
{
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), nullptr);
        return self->priv->window.get();
}

void terminal_set_window(Terminal* self, GtkWindow* window)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        if (self->priv->window.get() == window)
                return;
        self->priv->window = share_ref(window);
        g_object_notify_by_pspec(G_OBJECT(self), properties[PROP_WINDOW]);
}

void terminal_load_config(Terminal* self, bool notify)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        load_config(self, notify);
}

static void terminal_get_property(GObject* object, guint id, GValue* value,
                                  GParamSpec* pspec)
{
        auto self = BRACKENFOLD_TERMINAL(object);
        switch (id) {
        case PROP_WINDOW:
                g_value_set_object(value, terminal_get_window(self));
                break;
        default:
                G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        }
}

static void terminal_set_property(GObject* object, guint id,
                                  const GValue* value, GParamSpec* pspec)
{
        auto self = BRACKENFOLD_TERMINAL(object);
        switch (id) {
        case PROP_WINDOW:
                terminal_set_window(self, GTK_WINDOW(g_value_get_object(value)));
                break;
        default:
                G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
        }
}

static void terminal_init(Terminal* self)
{
        self->priv = new TerminalPrivate{};
        gtk_widget_init_template(GTK_WIDGET(self));
}

// The open-with items' activation records and the pending timers hold the
// terminal, and the two menus are toplevels of their own: let all
// of them go when the widget is destroyed, or none would ever be freed.
static void terminal_dispose(GObject* object)
{
        auto self = BRACKENFOLD_TERMINAL(object);
        infobar_cancel_timeout(self);
        size_hold_cancel_timeout(self);
        if (self->uri_context_menu)
                remove_open_with_items(self);
        if (self->standard_context_menu) {
                gtk_widget_destroy(GTK_WIDGET(self->standard_context_menu));
                self->standard_context_menu = nullptr;
        }
        if (self->uri_context_menu) {
                gtk_widget_destroy(GTK_WIDGET(self->uri_context_menu));
                self->uri_context_menu = nullptr;
        }
        G_OBJECT_CLASS(terminal_parent_class)->dispose(object);
}

static void terminal_finalize(GObject* object)
{
        auto self = BRACKENFOLD_TERMINAL(object);
        auto priv = self->priv;
        priv->window.reset();
        priv->clipboard.reset();
        priv->primary.reset();
        priv->settings.reset();
        priv->config.reset();
        priv->open_with_items.clear();
        delete priv;
        self->priv = nullptr;
        G_OBJECT_CLASS(terminal_parent_class)->finalize(object);
}

static void terminal_class_init(TerminalClass* klass)
{
        auto object_class = G_OBJECT_CLASS(klass);
        object_class->get_property = terminal_get_property;
        object_class->set_property = terminal_set_property;
        object_class->dispose = terminal_dispose;
        object_class->finalize = terminal_finalize;

        auto widget_class = GTK_WIDGET_CLASS(klass);
        gtk_widget_class_set_template_from_resource(widget_class,
                                                    "/brackenfold/ui/terminal.ui");

        gtk_widget_class_bind_template_child(widget_class, Terminal, search_button_down);
        gtk_widget_class_bind_template_child(widget_class, Terminal, search_button_up);
        gtk_widget_class_bind_template_child(widget_class, Terminal, infobar);
        gtk_widget_class_bind_template_child(widget_class, Terminal, infobar_label);
        gtk_widget_class_bind_template_child(widget_class, Terminal, standard_context_menu);
        gtk_widget_class_bind_template_child(widget_class, Terminal, uri_context_menu);
        gtk_widget_class_bind_template_child(widget_class, Terminal, copy_item_text);
        gtk_widget_class_bind_template_child(widget_class, Terminal, copy_item_html);
        gtk_widget_class_bind_template_child(widget_class, Terminal, open_terminal_item);
        gtk_widget_class_bind_template_child(widget_class, Terminal, open_directory_item);
        gtk_widget_class_bind_template_child(widget_class, Terminal, search_revealer);
        gtk_widget_class_bind_template_child(widget_class, Terminal, scrolled_window);
        gtk_widget_class_bind_template_child(widget_class, Terminal, search_entry);
        gtk_widget_class_bind_template_child(widget_class, Terminal, open_with_separator);
        gtk_widget_class_bind_template_child(widget_class, Terminal, vte);

        gtk_widget_class_bind_template_callback(widget_class, infobar_respond);
        gtk_widget_class_bind_template_callback(widget_class, infobar_close);
        gtk_widget_class_bind_template_callback(widget_class, search_changed);
        gtk_widget_class_bind_template_callback(widget_class, search_up);
        gtk_widget_class_bind_template_callback(widget_class, search_down);
        gtk_widget_class_bind_template_callback(widget_class, search_stop);
        gtk_widget_class_bind_template_callback(widget_class, search_entry_key_press);
        gtk_widget_class_bind_template_callback(widget_class, uri_copy);
        gtk_widget_class_bind_template_callback(widget_class, open_terminal);
        gtk_widget_class_bind_template_callback(widget_class, open_directory);
        gtk_widget_class_bind_template_callback(widget_class, vte_paste);
        gtk_widget_class_bind_template_callback(widget_class, vte_button_press);
        gtk_widget_class_bind_template_callback(widget_class, vte_button_release);
        gtk_widget_class_bind_template_callback(widget_class, vte_key_press);
        gtk_widget_class_bind_template_callback(widget_class, vte_scroll);
        gtk_widget_class_bind_template_callback(widget_class, vte_hyperlink_hover);
        gtk_widget_class_bind_template_callback(widget_class, window_set_title);
        gtk_widget_class_bind_template_callback(widget_class, window_toggle_urgency);
        gtk_widget_class_bind_template_callback(widget_class, vte_drag_data_received);

        properties[PROP_WINDOW] = g_param_spec_object(
            "window", "window", "window", GTK_TYPE_WINDOW,
            GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT |
                        G_PARAM_EXPLICIT_NOTIFY | G_PARAM_STATIC_STRINGS));
        g_object_class_install_properties(object_class, N_PROPS, properties);
}

// The start of the child completes in the main loop, possibly after the
// terminal is gone: the callback reaches it through a weak reference.
static void spawn_terminal_callback(VteTerminal* terminal, GPid pid,
                                    GError* error, gpointer data) noexcept
{
        auto weak = static_cast<GWeakRef*>(data);
        auto self = static_cast<Terminal*>(g_weak_ref_get(weak));
        g_weak_ref_clear(weak);
        g_free(weak);
        auto holder = take_ref(self);

        g_return_if_fail(self != NULL);
        g_return_if_fail(terminal != NULL);

        if (error) {
                g_print("%s", (std::string{"brackenfold: "} + error->message + "\n").c_str());
                std::exit(1);
        }
        self->priv->child_pid = pid;
}

// The search bar's content stays hidden until the bar is first revealed (see
// the template), whoever reveals it.
static void search_revealer_changed(GtkRevealer* revealer, GParamSpec*,
                                    gpointer) noexcept
{
        auto content = gtk_bin_get_child(GTK_BIN(revealer));
        if (content && gtk_revealer_get_reveal_child(revealer))
                gtk_widget_show(content);
}

// Both bars sit at the bottom; the notification bar spans the width and is
// drawn above the search bar, which it would hide completely. While both are
// shown the search bar stands on top of the notification bar instead, in the
// same corner, following it as it slides in and out.
static gboolean place_search_bar(GtkOverlay* overlay, GtkWidget* child, GdkRectangle* where,
                                 Terminal* self) noexcept
{
        if (child != GTK_WIDGET(self->search_revealer))
                return false;
        GtkAllocation area;
        gtk_widget_get_allocation(GTK_WIDGET(overlay), &area);
        GtkRequisition natural;
        gtk_widget_get_preferred_size(child, nullptr, &natural);
        where->width = std::min(natural.width, area.width);
        where->height = std::min(natural.height, area.height);
        where->x = area.width - where->width;
        where->y = area.height - where->height;
        auto bar = GTK_WIDGET(self->infobar);
        if (gtk_widget_get_visible(bar)) {
                int bar_height = 0;
                gtk_widget_get_preferred_height_for_width(bar, area.width, nullptr, &bar_height);
                where->y = std::max(0, where->y - bar_height);
        }
        return true;
}

// An overlay scroll bar that has faded out lives on in a hidden window, and
// GTK still draws it, at full cost and invisibly, in every frame the
// terminal draws: on every key typed. Where that window is hidden nothing
// drawn there could show.
static gboolean skip_hidden_scroll_bar(GtkWidget* bar, cairo_t*, gpointer) noexcept
{
        auto window = gtk_widget_get_parent_window(bar);
        return window && !gdk_window_is_visible(window);
}

// A key's release belongs to the terminal, as its press does. Let past it,
// it would only be looked up in the key bindings of every widget around it
// (the scrolled window, this overlay, the window) on every key typed: about
// a sixth of what a key costs the program.
static gboolean keep_key_release(GtkWidget*, GdkEventKey*, gpointer) noexcept
{
        return true;
}

// Zooms, new fonts and the desktop's resolution change the cells: the
// window manager must size the window in whole cells of the new size.
static void cell_size_changed(VteTerminal*, guint, guint, Terminal* self) noexcept
{
        guard_exceptions("cell_size_changed", [&] { cells_changed(self); });
}

static void focus_terminal(GtkWindow* window, Terminal* self) noexcept
{
        g_signal_handlers_disconnect_by_func(window, (gpointer)focus_terminal, self);
        gtk_window_set_focus(window, GTK_WIDGET(self->vte));
}

// Left to itself the window gives its first focus to the first widget that
// takes it: with a warning shown at start-up, that is the bar's close button,
// and the first keys typed would go there. The focus is set once the window
// is shown: set on a hidden window, GTK would keep it even after the
// terminal is gone.
static void focus_terminal_when_shown(Terminal* self, GtkWindow* window)
{
        if (gtk_widget_get_visible(GTK_WIDGET(window)))
                focus_terminal(window, self);
        else
                g_signal_connect_object(window, "show", G_CALLBACK(focus_terminal), self,
                                        G_CONNECT_AFTER);
}

static void install_drop_targets(GtkWidget* vte) noexcept
{
        // GTK takes the first of these that the source offers. File managers
        // offer files as text too, unquoted: the URI list must come first,
        // or a dropped "my file" would reach the shell as two words.
        auto targets = TargetListPtr{gtk_target_list_new(nullptr, 0)};
        gtk_target_list_add_uri_targets(targets.get(), 1);
        gtk_target_list_add_text_targets(targets.get(), 0);
        gtk_drag_dest_set(vte, GTK_DEST_DEFAULT_ALL, nullptr, 0, GDK_ACTION_COPY);
        gtk_drag_dest_set_target_list(vte, targets.get());
}

// GTK's URI targets include those of its file transfer portal, which it
// asks for on the session bus there and then, synchronously: connecting to
// the bus and a round trip to it, 1.1-1.4 ms here (0.3-0.5 ms to find no
// bus). Nothing can be dropped on a window before it is on screen.
static void install_drop_targets_after_first_frame(Terminal* self)
{
        after_first_frame(GTK_WIDGET(self->vte), install_drop_targets);
}

static void install_link_pattern(Terminal* self)
{
        Error error;
        auto regex = RegexPtr{vte_regex_new_for_match(
            terminal_link_pattern.data(), terminal_link_pattern.size(),
            terminal_link_pattern_flags, error.out())};
        if (!regex)
                g_error("%s: %s", G_STRLOC, error.message());
        auto tag = vte_terminal_match_add_regex(self->vte, regex.get(), 0);
        vte_terminal_match_set_cursor_name(self->vte, tag, "pointer");
}

static std::vector<std::string> command_vector(int argc, char** argv)
{
        if (argc > 1)
                return {argv + 1, argv + argc};
        return {Utils::get_shell()};
}

// The terminal watches the child it started, then reports the outcome as
// for a start of its own.
static void child_started(GObject* source, GAsyncResult* result, gpointer data) noexcept
{
        g_return_if_fail(VTE_IS_PTY(source));
        Error error;
        GPid pid = -1;
        auto started = vte_pty_spawn_finish(VTE_PTY(source), result, &pid, error.out());
        auto self = RefPtr<Terminal>{
            static_cast<Terminal*>(g_weak_ref_get(static_cast<GWeakRef*>(data)))};
        auto vte = self ? self->vte : nullptr;
        if (started && vte)
                vte_terminal_watch_child(vte, pid);
        // With the terminal gone, the pty goes too and the child is hung
        // up: it is still reaped when it ends.
        else if (started)
                g_child_watch_add(pid, +[](GPid child, int, gpointer) noexcept {
                        g_spawn_close_pid(child);
                }, nullptr);
        spawn_terminal_callback(vte, started ? pid : -1, started ? nullptr : error.get(), data);
}

// The terminal sets up the modes of a pty it takes (the character set among
// them) with a read and a write of them all. Taken once the child runs, the
// pty could lose modes the child had just set: an editor's raw mode, or the
// `stty raw` of a script. So the terminal takes it first.
static void spawn_child(Terminal* self, int argc, char** argv)
{
        auto command = command_vector(argc, argv);
        auto c_argv = vector_to_argv(command);
        Error error;
        auto pty = take_ref(
            vte_terminal_pty_new_sync(self->vte, VTE_PTY_DEFAULT, nullptr, error.out()));
        auto weak = g_new0(GWeakRef, 1);
        g_weak_ref_init(weak, self);
        if (!pty) {
                spawn_terminal_callback(self->vte, -1, error.get(), weak);
                return;
        }
        vte_terminal_set_pty(self->vte, pty.get());
        vte_pty_spawn_async(pty.get(), nullptr, c_argv.data(), nullptr, G_SPAWN_SEARCH_PATH,
                            nullptr, nullptr, nullptr, -1, nullptr, child_started, weak);
}

Terminal* terminal_new(int argc, char** argv, GtkContainer* parent,
                       GtkWindow* window)
{
        g_return_val_if_fail(parent != NULL, nullptr);
        g_return_val_if_fail(window != NULL, nullptr);

        auto self = BRACKENFOLD_TERMINAL(g_object_new(
            terminal_get_type(), "parent", parent, "window", window, nullptr));
        auto priv = self->priv;

        priv->settings = share_ref(
            gtk_settings_get_for_screen(gtk_window_get_screen(window)));
        priv->overlay_scrolling_disabled =
            g_strcmp0(g_getenv("GTK_OVERLAY_SCROLLING"), "0") == 0;

        load_config(self, false);
        g_signal_connect(self->vte, "char-size-changed", G_CALLBACK(cell_size_changed), self);
        follow_size_hold(self);
        focus_terminal_when_shown(self, window);

        gtk_widget_set_sensitive(GTK_WIDGET(self->search_button_up), priv->has_search_regex);
        gtk_widget_set_sensitive(GTK_WIDGET(self->search_button_down), priv->has_search_regex);
        vte_terminal_search_set_wrap_around(self->vte, true);
        g_signal_connect_after(self->vte, "key-release-event", G_CALLBACK(keep_key_release),
                               nullptr);
        g_signal_connect(gtk_scrolled_window_get_vscrollbar(self->scrolled_window), "draw",
                         G_CALLBACK(skip_hidden_scroll_bar), nullptr);
        g_signal_connect(self->search_revealer, "notify::reveal-child",
                         G_CALLBACK(search_revealer_changed), nullptr);
        g_signal_connect(self, "get-child-position", G_CALLBACK(place_search_bar), self);

        gtk_menu_attach_to_widget(self->uri_context_menu, GTK_WIDGET(self->vte), nullptr);
        gtk_menu_attach_to_widget(self->standard_context_menu, GTK_WIDGET(self->vte), nullptr);

        install_drop_targets_after_first_frame(self);

        auto display = gtk_widget_get_display(GTK_WIDGET(window));
        priv->clipboard = share_ref(gtk_clipboard_get_default(display));
        priv->primary = share_ref(
            gtk_clipboard_get_for_display(display, GDK_SELECTION_PRIMARY));

        g_signal_connect_object(self->copy_item_text, "activate",
                                G_CALLBACK(+[](GtkMenuItem*, Terminal* self) noexcept {
                                        guard_exceptions("copy_item_text", [&] {
                                                vte_copy(self, VTE_FORMAT_TEXT);
                                        });
                                }),
                                self, GConnectFlags(0));
        g_signal_connect_object(self->copy_item_html, "activate",
                                G_CALLBACK(+[](GtkMenuItem*, Terminal* self) noexcept {
                                        guard_exceptions("copy_item_html", [&] {
                                                vte_copy(self, VTE_FORMAT_HTML);
                                        });
                                }),
                                self, GConnectFlags(0));

        install_link_pattern(self);
        spawn_child(self, argc, argv);
        return self;
}
