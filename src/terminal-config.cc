// SPDX-License-Identifier: BSD-2-Clause
// Applying the configuration, and the notification bar that reports it.
#include "terminal-private.hh"

#include <algorithm>

#include <glib/gi18n-lib.h>

#include <string>
#include <utility>

// --- Notification bar ------------------------------------------------------

static gboolean infobar_timeout_expired(gpointer data) noexcept
{
        auto self = static_cast<Terminal*>(data);
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), G_SOURCE_REMOVE);
        gtk_info_bar_set_revealed(self->infobar, false);
        self->priv->infobar_timeout.reset();
        return G_SOURCE_REMOVE;
}

// Also used when the terminal is destroyed: the timer's reference would
// otherwise keep a terminal without widgets alive until it fires.
void infobar_cancel_timeout(Terminal* self)
{
        // Emptied before the removal, which drops the timer's reference.
        if (auto id = std::exchange(self->priv->infobar_timeout, std::nullopt))
                g_source_remove(*id);
}

void infobar_show(Terminal* self, const char* message, GtkMessageType type,
                  std::optional<guint> timeout)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        g_return_if_fail(message != NULL);

        gtk_info_bar_set_message_type(self->infobar, type);
        gtk_info_bar_set_show_close_button(self->infobar, !timeout);
        gtk_label_set_markup(self->infobar_label, message);

        // A pending timer belongs to an older message: it must never hide
        // this one.
        infobar_cancel_timeout(self);
        auto priv = self->priv;
        if (timeout)
                priv->infobar_timeout = g_timeout_add_seconds_full(
                    G_PRIORITY_DEFAULT, *timeout, infobar_timeout_expired,
                    g_object_ref(self), g_object_unref);

        // The bar stays hidden until its first message (see the template);
        // shown before it is revealed, it slides in.
        gtk_widget_show(GTK_WIDGET(self->infobar));
        gtk_info_bar_set_revealed(self->infobar, true);
}

static void infobar_dismiss(Terminal* self)
{
        gtk_info_bar_set_revealed(self->infobar, false);
        if (auto window = self->priv->window.get())
                gtk_window_set_focus(window, GTK_WIDGET(self->vte));
}

void infobar_respond(GtkInfoBar*, int, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        infobar_dismiss(self);
}

void infobar_close(GtkInfoBar*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        infobar_dismiss(self);
}

// --- Applying the configuration -------------------------------------------

static GtkPolicyType vertical_scrollbar_policy(Terminal* self, const Config& config)
{
        if (!config.scrollbar)
                return GTK_POLICY_NEVER;
        gboolean overlay_scrolling = false;
        g_object_get(self->priv->settings.get(), "gtk-overlay-scrolling",
                     &overlay_scrolling, nullptr);
        if (overlay_scrolling && !self->priv->overlay_scrolling_disabled)
                return GTK_POLICY_AUTOMATIC;
        return GTK_POLICY_ALWAYS;
}

PixelSize cell_size(Terminal* self)
{
        return {int(vte_terminal_get_char_width(self->vte)),
                int(vte_terminal_get_char_height(self->vte))};
}

GridFrame grid_frame(Terminal* self)
{
        auto priv = self->priv;
        return {.base = {priv->base_width, priv->base_height},
                .whole_cells = !priv->config || priv->config->resize_hints};
}

// The window's width around the grid: the terminal's padding, and a
// permanent scroll bar. Neither changes with the font, so it is measured
// again only when the scroll bar comes or goes. From the content's own
// width, not the window's: the size the window proposes for itself is no
// wider than the screen, and a large font's eighty columns can be.
static int measure_base_width(Terminal* self, PixelSize cells)
{
        int width = 0;
        gtk_widget_get_preferred_width(GTK_WIDGET(self), nullptr, &width);
        return width - int(vte_terminal_get_column_count(self->vte)) * cells.width;
}

static void apply_geometry_hints(Terminal* self)
{
        auto priv = self->priv;
        auto cells = cell_size(self);

        if (priv->base_width == -1)
                priv->base_width = measure_base_width(self, cells);

        auto frame = grid_frame(self);
        GdkGeometry hints{};
        hints.min_width = frame.base.width + frame.min_columns * cells.width;
        hints.min_height = frame.base.height + frame.min_rows * cells.height;
        hints.base_width = frame.base.width;
        hints.base_height = frame.base.height;
        // Whole cells only for a size of the window's own (see SizeHold).
        auto whole_cells = frame.whole_cells && !priv->size_hold.holding();
        hints.width_inc = whole_cells ? cells.width : 0;
        hints.height_inc = whole_cells ? cells.height : 0;
        gtk_window_set_geometry_hints(
            priv->window.get(), nullptr, &hints,
            GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_BASE_SIZE | GDK_HINT_RESIZE_INC));
        priv->hinted_cells = cells;
}

void update_geometry_hints(Terminal* self)
{
        if (self->vte && self->priv->config)
                apply_geometry_hints(self);
}

static void apply_terminal_options(Terminal* self, const Config& config)
{
        auto vte = self->vte;
        vte_terminal_set_allow_hyperlink(vte, config.allow_hyperlinks);
        vte_terminal_set_mouse_autohide(vte, config.autohide_mouse);
        // Any negative number keeps every line; the terminal itself takes
        // only -1 for that and refuses the others with a critical.
        vte_terminal_set_scrollback_lines(vte, glong(std::max(config.scrollback, -1)));
        vte_terminal_set_cursor_shape(vte, config.cursor_shape);
        vte_terminal_set_cursor_blink_mode(vte, config.cursor_blink);
        vte_terminal_set_bold_is_bright(vte, config.bold_is_bright);
}

static const GdkRGBA* colour_or_null(const std::optional<GdkRGBA>& colour)
{
        return colour ? &*colour : nullptr;
}

static void apply_colours(Terminal* self, const Config& config)
{
        auto vte = self->vte;
        vte_terminal_set_colors(vte, colour_or_null(config.foreground),
                                colour_or_null(config.background),
                                config.palette.data(), config.palette.size());
        vte_terminal_set_color_bold(vte, colour_or_null(config.bold));
        vte_terminal_set_color_cursor_foreground(vte, colour_or_null(config.cursor_foreground));
        vte_terminal_set_color_cursor(vte, colour_or_null(config.cursor_background));
        vte_terminal_set_color_highlight_foreground(vte, colour_or_null(config.highlight_foreground));
        vte_terminal_set_color_highlight(vte, colour_or_null(config.highlight_background));
}

void remove_open_with_items(Terminal* self)
{
        for (auto const& item : self->priv->open_with_items)
                gtk_container_remove(GTK_CONTAINER(self->uri_context_menu), item.get());
        self->priv->open_with_items.clear();
}

// What an open-with item launches: its own copy of the program, so the item
// does not depend on the configuration that created it.
struct OpenWithAction {
        RefPtr<Terminal> terminal;
        OpenWithProgram program;
};

static void open_with_activate(GtkMenuItem*, OpenWithAction* action) noexcept
{
        g_return_if_fail(action != NULL);
        guard_exceptions("open_with_activate", [&] {
                uri_open_with(action->terminal.get(), action->program);
        });
}

static void open_with_action_free(gpointer action, GClosure*) noexcept
{
        delete static_cast<OpenWithAction*>(action);
}

static void add_open_with_item(Terminal* self, const OpenWithProgram& program)
{
        auto action = std::make_unique<OpenWithAction>(share_ref(self), program);
        // The key file does not check its key names for UTF-8.
        auto name = CharPtr{g_utf8_make_valid(program.name.c_str(), -1)};
        auto label = CharPtr{g_strdup_printf(_("Open with %s"), name.get())};
        auto item = RefPtr<GtkWidget>{GTK_WIDGET(
            g_object_ref_sink(gtk_menu_item_new_with_label(label.get())))};
        // The handler owns the record: it goes when the item is destroyed.
        g_signal_connect_data(item.get(), "activate", G_CALLBACK(open_with_activate),
                              action.release(), open_with_action_free, GConnectFlags(0));
        gtk_widget_show(item.get());
        gtk_menu_shell_append(GTK_MENU_SHELL(self->uri_context_menu), item.get());
        self->priv->open_with_items.push_back(std::move(item));
}

static void rebuild_open_with_items(Terminal* self, const Config& config)
{
        remove_open_with_items(self);
        for (auto const& program : config.open_with)
                add_open_with_item(self, program);
        gtk_widget_set_visible(self->open_with_separator, !config.open_with.empty());
}

// The bar names the first warnings only: a file can cause any number, and
// the bar's label is laid out whole at every allocation of the window.
// Standard error has them all.
constexpr size_t bar_max_warnings = 20;
constexpr size_t bar_max_bytes = 4000;

static std::string warnings_report(const std::vector<std::string>& warnings, size_t count)
{
        auto header = CharPtr{g_strdup_printf(
            "<b>%s</b>\n", _("Configuration loaded with warnings:"))};
        std::string text = header.get();
        size_t shown = 0;
        size_t bytes = 0;
        for (auto const& line : warnings) {
                // Each warning is bounded itself, so the first always fits.
                if (shown == bar_max_warnings || (shown && bytes + line.size() > bar_max_bytes))
                        break;
                if (shown++)
                        text += '\n';
                text += line;
                bytes += line.size();
        }
        if (count > shown)
                text += '\n' + escape_markup(left_out_warnings(count - shown));
        return text;
}

static void report_load(Terminal* self, const Config& config, bool notify)
{
        auto warnings = config.get_warnings();
        if (!warnings.empty()) {
                infobar_show(self, warnings_report(warnings, config.warning_count()).c_str(),
                             GTK_MESSAGE_WARNING,
                             std::nullopt);
        } else if (notify) {
                infobar_show(self, _("Configuration loaded successfully."),
                             GTK_MESSAGE_INFO, 3u);
        }
}

// Sets the scroll bar's policy; returns whether it changed.
static bool apply_scrollbar_policy(Terminal* self, const Config& config)
{
        GtkPolicyType old_policy = GTK_POLICY_NEVER;
        gtk_scrolled_window_get_policy(self->scrolled_window, nullptr, &old_policy);
        auto policy = vertical_scrollbar_policy(self, config);
        gtk_scrolled_window_set_policy(self->scrolled_window, GTK_POLICY_NEVER, policy);
        return policy != old_policy;
}

// Sets the font and the size hints. On a reload (`previous`), the window
// follows a new font, and a permanent scroll bar that came or went.
static void apply_font_and_hints(Terminal* self, const Config* previous, const Config& config,
                                 bool new_bar)
{
        auto priv = self->priv;
        // The fonts are compared rather than the cells they measure:
        // measuring before the first font is set would load VTE's default
        // font for nothing, about a tenth of the start-up time.
        auto new_font = previous &&
                        !pango_font_description_equal(previous->font.get(), config.font.get());
        PixelSize window, cells;
        if (new_font || new_bar) {
                gtk_window_get_size(priv->window.get(), &window.width, &window.height);
                cells = cell_size(self);
        }
        {
                OwnFontChange own{*priv};
                vte_terminal_set_font(self->vte, config.font.get());
        }
        // A permanent scroll bar that comes or goes widens or narrows the
        // window by its width, and the grid stays as it was.
        auto base_change = 0;
        if (new_bar) {
                auto base = measure_base_width(self, cell_size(self));
                base_change = base - std::exchange(priv->base_width, base);
                window.width += base_change;
        }
        // The window size from before the zoom was in cells of the old font,
        // or around another grid: it cannot come back exactly, and the steps
        // start afresh, from the size the window has now.
        if (new_font || base_change != 0)
                priv->zoom_geometry.forget();
        apply_geometry_hints(self);
        // Like a zoom, a new font keeps the window's size as closely as whole
        // cells allow, and the old font gives the old size back: left to GTK,
        // the window would lose up to a cell at every new font.
        if (!priv->size_hold.holding()) {
                if (new_font && cell_size(self) != cells)
                        resize_for_cells(self, window, cells);
                else if (base_change != 0)
                        gtk_window_resize(priv->window.get(), window.width, window.height);
        }
}

void load_config(Terminal* self, bool notify)
{
        // A reload can be dispatched in the same main-loop iteration that
        // destroyed the window: the widgets it would apply to are gone.
        if (!self->vte)
                return;

        auto config = std::make_shared<const Config>();
        auto previous = std::exchange(self->priv->config, config);

        auto new_bar = apply_scrollbar_policy(self, *config) && previous;
        apply_font_and_hints(self, previous.get(), *config, new_bar);
        apply_terminal_options(self, *config);
        apply_colours(self, *config);
        rebuild_open_with_items(self, *config);
        report_load(self, *config, notify);
}
