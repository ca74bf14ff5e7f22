// SPDX-License-Identifier: BSD-2-Clause
// floor-variants COMMAND [ARGS...]: the floor with one knob per candidate
// cause of a difference in speed, each set through the environment, for
// experiments such as
//   bench/peers --only throughput --extra 'sb1000=env SCROLLBACK=1000 build/bench/floor-variants'
// Knobs (unset: the floor's own setting):
//   SCROLLBACK=N        scrollback lines (10000)
//   SCROLL_ON_OUTPUT=1  scroll to the bottom on output (0)
//   TEXT_BLINK=N        VteTextBlinkMode (3, always)
//   CURSOR_BLINK=N      VteCursorBlinkMode (0, the system's)
//   RGBA=1              the screen's RGBA visual for the window
//   ICON=1              the window icon "utilities-terminal"
//   SCROLLED=1          the terminal in a scrolled window with a permanent scroll bar
//   PADDING=1           brackenfold's style sheet rule: 2 pixels around the terminal
//   EARLY_CELL_SIZE=1   ask for the cell size before the window is shown
//   XFCE=1              what xfce4-terminal sets besides: explicit colours,
//                       bold is bright, an app-paintable window
//   ICON_LIST=1         a window icon in six sizes (16 to 128 pixels) as one
//                       list, as xfce4-terminal sets its own: GDK's buffer for
//                       _NET_WM_ICON (193 KiB) is malloc'd above the mmap
//                       threshold and freed at realize, which raises glibc's
//                       dynamic trim threshold to twice its size
//   TRIM_THRESHOLD=N    mallopt(M_TRIM_THRESHOLD, N) before anything else
#include <gtk/gtk.h>
#include <vte/vte.h>

#include <array>
#include <cstdlib>
#include <malloc.h>

namespace {

int knob(const char* name, int fallback)
{
        auto value = g_getenv(name);
        return value ? std::atoi(value) : fallback;
}

void set_palette(VteTerminal* vte, GtkWidget* window)
{
        static constexpr std::array<const char*, 16> names{
            "black", "red3", "green3", "yellow3", "blue2", "magenta3", "cyan3", "grey90",
            "grey50", "red", "#00ff00", "yellow", "#5c5cff", "magenta", "cyan", "white"};
        std::array<GdkRGBA, 16> palette{};
        for (size_t i = 0; i < names.size(); ++i)
                gdk_rgba_parse(&palette[i], names[i]);
        if (!knob("XFCE", 0)) {
                vte_terminal_set_colors(vte, nullptr, nullptr, palette.data(), palette.size());
                return;
        }
        GdkRGBA foreground, background;
        gdk_rgba_parse(&foreground, "#ffffff");
        gdk_rgba_parse(&background, "#000000");
        vte_terminal_set_colors(vte, &foreground, &background, palette.data(), palette.size());
        vte_terminal_set_bold_is_bright(vte, true);
        gtk_widget_set_app_paintable(window, true);
}

void configure(VteTerminal* vte, GtkWidget* window)
{
        auto font = pango_font_description_from_string("Monospace 12");
        vte_terminal_set_font(vte, font);
        pango_font_description_free(font);
        vte_terminal_set_scrollback_lines(vte, knob("SCROLLBACK", 10000));
        vte_terminal_set_scroll_on_output(vte, knob("SCROLL_ON_OUTPUT", 0));
        vte_terminal_set_text_blink_mode(vte, VteTextBlinkMode(knob("TEXT_BLINK", 3)));
        vte_terminal_set_cursor_blink_mode(vte, VteCursorBlinkMode(knob("CURSOR_BLINK", 0)));
        set_palette(vte, window);
        if (knob("EARLY_CELL_SIZE", 0))
                vte_terminal_get_char_width(vte);
}

GtkWidget* wrap(VteTerminal* vte)
{
        if (!knob("SCROLLED", 0))
                return GTK_WIDGET(vte);
        auto scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER,
                                       GTK_POLICY_ALWAYS);
        gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(scrolled), true);
        gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scrolled), true);
        gtk_container_add(GTK_CONTAINER(scrolled), GTK_WIDGET(vte));
        return scrolled;
}

void set_icon_list(GtkWidget* window)
{
        GList* icons = nullptr;
        for (int size : {16, 24, 32, 48, 64, 128}) {
                auto icon = gdk_pixbuf_new(GDK_COLORSPACE_RGB, true, 8, size, size);
                gdk_pixbuf_fill(icon, 0x336699ff);
                icons = g_list_append(icons, icon);
        }
        gtk_window_set_icon_list(GTK_WINDOW(window), icons);
        g_list_free_full(icons, g_object_unref);
}

void decorate(GtkWidget* window)
{
        if (knob("ICON_LIST", 0))
                set_icon_list(window);
        if (knob("ICON", 0))
                gtk_window_set_icon_name(GTK_WINDOW(window), "utilities-terminal");
        auto screen = gtk_window_get_screen(GTK_WINDOW(window));
        if (knob("RGBA", 0))
                if (auto visual = gdk_screen_get_rgba_visual(screen))
                        gtk_widget_set_visual(window, visual);
        if (knob("PADDING", 0)) {
                auto css = gtk_css_provider_new();
                gtk_css_provider_load_from_data(css, "vte-terminal { padding: 2px; }", -1, nullptr);
                gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                                          GTK_STYLE_PROVIDER_PRIORITY_USER);
                g_object_unref(css);
        }
}

} // namespace

int main(int argc, char** argv)
{
        if (argc < 2) {
                g_printerr("usage: floor-variants COMMAND [ARGS...]\n");
                return 2;
        }
        if (auto threshold = knob("TRIM_THRESHOLD", 0))
                mallopt(M_TRIM_THRESHOLD, threshold);
        gtk_init(nullptr, nullptr);
        auto window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
        decorate(window);
        auto vte = VTE_TERMINAL(vte_terminal_new());
        g_signal_connect(vte, "child-exited", G_CALLBACK(gtk_main_quit), nullptr);
        configure(vte, window);
        gtk_container_add(GTK_CONTAINER(window), wrap(vte));
        vte_terminal_spawn_async(vte, VTE_PTY_DEFAULT, nullptr, argv + 1, nullptr,
                                 G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, -1,
                                 nullptr, nullptr, nullptr);
        gtk_widget_show_all(window);
        gtk_main();
        return 0;
}
