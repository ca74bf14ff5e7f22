// SPDX-License-Identifier: BSD-2-Clause
// Start-up: one window, one terminal, and a reload on SIGUSR1.
#include "heap.hh"
#include "terminal.hh"
#include "utils.hh"
#include "window-icon.hh"

#include <glib-unix.h>
#include <glib/gi18n-lib.h>

#include <atomic>
#include <csignal>

namespace {

// Shared by the entry point and the SIGUSR1 source; whoever drops the last
// count releases the terminal.
struct ReloadRecord {
        std::atomic<int> count{1};
        RefPtr<Terminal> terminal;
};

void reload_record_unref(gpointer data) noexcept
{
        auto record = static_cast<ReloadRecord*>(data);
        if (record->count.fetch_sub(1) == 1)
                delete record;
}

gboolean reload_configuration(gpointer data) noexcept
{
        auto record = static_cast<ReloadRecord*>(data);
        // Before the terminal exists there is nothing to reload: building
        // it reads the file anyway.
        if (!record->terminal)
                return G_SOURCE_CONTINUE;
        guard_exceptions("reload_configuration", [&] {
                terminal_load_config(record->terminal.get(), true);
        });
        return G_SOURCE_CONTINUE;
}

} // namespace

int main(int argc, char** argv)
{
        // Best effort: where the C library has no such setting, its own
        // policy is all there is.
        keep_heap_top_for_scrollback();
        auto record = new ReloadRecord{};
        // Caught from the start: until then SIGUSR1 would end the process, and
        // a script that signals every window after editing the file would
        // close one that is still opening.
        record->count.fetch_add(1);
        g_unix_signal_add_full(G_PRIORITY_DEFAULT, SIGUSR1, reload_configuration,
                               record, reload_record_unref);

        bindtextdomain(GETTEXT_PACKAGE, LOCALEDIR);
        bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
        textdomain(GETTEXT_PACKAGE);

        // No arguments for the toolkit: every word after our name belongs
        // to the command, even one that looks like --display.
        gtk_init(nullptr, nullptr);

        auto window = RefPtr<GtkWindow>{GTK_WINDOW(
            g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))};
        g_signal_connect(window.get(), "destroy", G_CALLBACK(gtk_main_quit), nullptr);
        window_set_icon_name_after_first_frame(window.get(), "utilities-terminal");
        gtk_window_set_title(window.get(), "brackenfold");

        auto screen = gtk_window_get_screen(window.get());
        auto visual = share_ref(gdk_screen_get_rgba_visual(screen));
        if (visual)
                gtk_widget_set_visual(GTK_WIDGET(window.get()), visual.get());

        auto css = take_ref(gtk_css_provider_new());
        gtk_css_provider_load_from_resource(css.get(), "/brackenfold/css/terminal.css");
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css.get()),
                                                  GTK_STYLE_PROVIDER_PRIORITY_USER);

        auto terminal = terminal_new(argc, argv, GTK_CONTAINER(window.get()),
                                     window.get());
        record->terminal = RefPtr<Terminal>{BRACKENFOLD_TERMINAL(g_object_ref_sink(terminal))};

        gtk_widget_show_all(GTK_WIDGET(window.get()));
        gtk_main();

        css.reset();
        visual.reset();
        window.reset();
        reload_record_unref(record);
        return 0;
}
