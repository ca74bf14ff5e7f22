// Links, the two context menus and the child's working directory.
#include "terminal-private.hh"
#include "vte-compat.hh"

#include <unistd.h>

#include <array>
#include <cstdlib>

// --- Reporting -------------------------------------------------------------

// The bar takes markup, and error texts quote paths and program names that
// may hold '<' or '&': escaped, they show as written instead of failing to
// parse and leaving the bar without the message.
static void report_failure(Terminal* self, const char* message)
{
        warning(message);
        // A path the child reported need not be UTF-8.
        infobar_show(self, escape_markup(message).c_str(), GTK_MESSAGE_ERROR, std::nullopt);
}

// --- Starting programs and opening URIs -----------------------------------

void spawn_detached(Terminal* self, const char* working_directory,
                    const std::vector<std::string>& argv)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        g_return_if_fail(!argv.empty());

        auto c_argv = vector_to_argv(argv);
        GPid pid = 0;
        Error error;
        if (!g_spawn_async(working_directory, c_argv.data(), nullptr,
                           G_SPAWN_SEARCH_PATH, nullptr, nullptr, &pid,
                           error.out())) {
                report_failure(self, error.message());
                return;
        }
        g_spawn_close_pid(pid);
}

void launch_uri(Terminal* self, const char* uri)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        if (!uri)
                return;
        auto display = gtk_widget_get_display(GTK_WIDGET(self));
        auto context = take_ref(gdk_display_get_app_launch_context(display));
        Error error;
        if (!g_app_info_launch_default_for_uri(
                uri, G_APP_LAUNCH_CONTEXT(context.get()), error.out()))
                report_failure(self, error.message());
}

// --- The child's working directory ----------------------------------------

// A report is believed only when it names an existing directory of this
// host: "Open directory" hands the path to its default application, and a
// report naming a file would have the program in the terminal choose a file
// to be opened.
static std::optional<std::string> reported_directory(Terminal* self)
{
        auto uri = vte_compat_current_directory_uri(self->vte);
        if (!uri)
                return std::nullopt;
        std::array<char, 256> hostname{};
        if (gethostname(hostname.data(), hostname.size() - 1) != 0)
                return std::nullopt;
        return Utils::trusted_directory(uri.get(), hostname.data());
}

static std::optional<std::string> resolved_cwd(const char* format, GPid pid)
{
        auto link = CharPtr{g_strdup_printf(format, pid)};
        auto path = MallocPtr{realpath(link.get(), nullptr)};
        return optional_string(path.get());
}

std::optional<std::string> get_working_directory(Terminal* self)
{
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), std::nullopt);
        auto priv = self->priv;
        if (priv->config && priv->config->prefer_osc7)
                if (auto directory = reported_directory(self))
                        return directory;
        if (auto directory = resolved_cwd("/proc/%i/cwd", priv->child_pid))
                return directory;
        return resolved_cwd("/compat/linux/proc/%i/cwd", priv->child_pid);
}

void open_terminal_here(Terminal* self)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        if (auto directory = get_working_directory(self))
                spawn_detached(self, directory->c_str(), {"brackenfold"});
}

void open_directory_here(Terminal* self)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        auto directory = get_working_directory(self);
        if (!directory)
                return;
        Error error;
        auto uri = CharPtr{g_filename_to_uri(directory->c_str(), nullptr, error.out())};
        if (!uri) {
                report_failure(self, error.message());
                return;
        }
        launch_uri(self, uri.get());
}

// --- Links under the pointer ----------------------------------------------

// Both menus act on what was under the pointer when they opened, so the two
// texts are only ever replaced, by the next press or release.
static void update_links(Terminal* self, GdkEventButton* event)
{
        auto priv = self->priv;
        auto gdk_event = reinterpret_cast<GdkEvent*>(event);
        priv->match_uri = optional_string(CharPtr{
            vte_terminal_match_check_event(self->vte, gdk_event, nullptr)}.get());
        priv->hyperlink_uri = optional_string(CharPtr{
            vte_terminal_hyperlink_check_event(self->vte, gdk_event)}.get());
}

// The pattern match wins over an explicit hyperlink.
static const std::optional<std::string>& current_link(Terminal* self)
{
        auto priv = self->priv;
        return priv->match_uri ? priv->match_uri : priv->hyperlink_uri;
}

std::vector<std::string> open_with_argv(const std::vector<std::string>& argv,
                                        const std::string& link)
{
        std::vector<std::string> result;
        result.reserve(argv.size());
        for (auto const& word : argv)
                result.push_back(word == "%" ? link : word);
        return result;
}

void uri_open_with(Terminal* self, const OpenWithProgram& program)
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        auto const& link = current_link(self);
        if (!link)
                return;
        spawn_detached(self, nullptr, open_with_argv(program.argv, *link));
}

static void prepare_standard_menu(Terminal* self)
{
        auto has_selection = vte_terminal_get_has_selection(self->vte);
        gtk_widget_set_sensitive(self->copy_item_text, has_selection);
        gtk_widget_set_sensitive(self->copy_item_html, has_selection);
        gtk_widget_set_sensitive(self->open_terminal_item,
                                 get_working_directory(self).has_value());
        gtk_widget_set_sensitive(self->open_directory_item,
                                 get_working_directory(self).has_value());
}

static void show_context_menu(Terminal* self, GdkEventButton* event)
{
        update_links(self, event);
        auto priv = self->priv;
        auto menu = self->uri_context_menu;
        if (!priv->match_uri && !priv->hyperlink_uri) {
                prepare_standard_menu(self);
                menu = self->standard_context_menu;
        }
        gtk_menu_popup_at_pointer(menu, reinterpret_cast<GdkEvent*>(event));
}

static void open_clicked_link(Terminal* self, GdkEventButton* event)
{
        update_links(self, event);
        // A click that ends a selection is about the selection, not the link.
        if (vte_terminal_get_has_selection(self->vte))
                return;
        auto const& link = current_link(self);
        if (link)
                launch_uri(self, link->c_str());
}

// --- Handlers --------------------------------------------------------------

gboolean vte_button_press(GtkWidget*, GdkEventButton* event, Terminal* self) noexcept
{
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), false);
        g_return_val_if_fail(event != NULL, false);
        if (event->button != GDK_BUTTON_SECONDARY)
                return false;
        // Handled even when showing the menu fails: the right button never
        // reaches the running program.
        guard_exceptions("vte_button_press", [&] { show_context_menu(self, event); });
        return true;
}

gboolean vte_button_release(GtkWidget*, GdkEventButton* event, Terminal* self) noexcept
{
        g_return_val_if_fail(BRACKENFOLD_IS_TERMINAL(self), false);
        g_return_val_if_fail(event != NULL, false);
        if (event->button == GDK_BUTTON_PRIMARY)
                guard_exceptions("vte_button_release",
                                 [&] { open_clicked_link(self, event); });
        return false;
}

void vte_hyperlink_hover(VteTerminal* vte, const char* uri, GdkRectangle*,
                         Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        g_return_if_fail(VTE_IS_TERMINAL(vte));
        guard_exceptions("vte_hyperlink_hover", [&] {
                auto text = Utils::display_uri(uri);
                gtk_widget_set_tooltip_text(GTK_WIDGET(vte),
                                            text ? text->c_str() : nullptr);
        });
}

void uri_copy(GtkMenuItem*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        auto const& link = current_link(self);
        if (!link)
                return;
        gtk_clipboard_set_text(self->priv->clipboard.get(), link->c_str(), -1);
        gtk_clipboard_set_text(self->priv->primary.get(), link->c_str(), -1);
}

void open_terminal(GtkMenuItem*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        guard_exceptions("open_terminal", [&] { open_terminal_here(self); });
}

void open_directory(GtkMenuItem*, Terminal* self) noexcept
{
        g_return_if_fail(BRACKENFOLD_IS_TERMINAL(self));
        guard_exceptions("open_directory", [&] { open_directory_here(self); });
}
