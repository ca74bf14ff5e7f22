// SPDX-License-Identifier: BSD-2-Clause
// floor COMMAND [ARGS...]: the least a VTE terminal window can be. One
// GTK 3 window, one bare terminal widget with brackenfold's default settings
// (font, scrollback, palette, no scrolling on output), the command run in it,
// and an exit when the command ends. The benchmark compares brackenfold with
// it to show what brackenfold itself adds.
#include <gtk/gtk.h>
#include <vte/vte.h>

#include <array>

namespace {

void apply_defaults(VteTerminal* vte)
{
        auto font = pango_font_description_from_string("Monospace 12");
        vte_terminal_set_font(vte, font);
        pango_font_description_free(font);
        vte_terminal_set_scrollback_lines(vte, 10000);
        vte_terminal_set_scroll_on_output(vte, false);

        static constexpr std::array<const char*, 16> names{
            "black", "red3", "green3", "yellow3", "blue2", "magenta3", "cyan3", "grey90",
            "grey50", "red", "#00ff00", "yellow", "#5c5cff", "magenta", "cyan", "white"};
        std::array<GdkRGBA, 16> palette{};
        for (size_t i = 0; i < names.size(); ++i)
                gdk_rgba_parse(&palette[i], names[i]);
        vte_terminal_set_colors(vte, nullptr, nullptr, palette.data(), palette.size());
}

void spawned(VteTerminal*, GPid, GError* error, gpointer) noexcept
{
        if (error) {
                g_printerr("floor: %s\n", error->message);
                gtk_main_quit();
        }
}

} // namespace

int main(int argc, char** argv)
{
        if (argc < 2) {
                g_printerr("usage: floor COMMAND [ARGS...]\n");
                return 2;
        }
        gtk_init(nullptr, nullptr);

        auto window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
        auto vte = VTE_TERMINAL(vte_terminal_new());
        g_signal_connect(vte, "child-exited", G_CALLBACK(gtk_main_quit), nullptr);
        apply_defaults(vte);
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(vte));

        vte_terminal_spawn_async(vte, VTE_PTY_DEFAULT, nullptr, argv + 1, nullptr,
                                 G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, -1,
                                 nullptr, spawned, nullptr);
        gtk_widget_show_all(window);
        gtk_main();
        return 0;
}
