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
//   SCROLLED=2          the same with an overlay scroll bar (GTK_POLICY_AUTOMATIC),
//                       as brackenfold has by default
//   SCROLLED=3          the same with no scroll bar at all (GTK_POLICY_NEVER)
//   HIDDEN_BAR=0        do not draw the scroll bar while the window it is
//                       drawn into is hidden (a faded-out overlay scroll bar)
//   KINETIC=0           no kinetic scrolling in that scrolled window (its
//                       touch gestures)
//   OVERLAY=1           that inside a GtkOverlay with two hidden bars over it (a
//                       revealer whose content is hidden, an info bar), as
//                       brackenfold's window holds its terminal
//   OVERLAY=2           the same with a get-child-position handler that measures
//                       the revealer, as brackenfold places its search bar
//   KEY_HANDLER=1       a key-press-event handler that looks at every key and
//                       lets it through
//   LINK_PATTERN=1      a match pattern for links, with a pointer cursor
//   HINTS=1             geometry hints in whole cells (base, minimum, increments)
//   PADDING=1           brackenfold's style sheet rule: 2 pixels around the terminal
//   CSS=TEXT            a style sheet of one's own for the screen, for trying
//                       rules
//   EARLY_CELL_SIZE=1   ask for the cell size before the window is shown
//   XFCE=1              what xfce4-terminal sets besides: explicit colours,
//                       bold is bright, an app-paintable window
//   ICON_LIST=1         a window icon in six sizes (16 to 128 pixels) as one
//                       list, as xfce4-terminal sets its own: GDK's buffer for
//                       _NET_WM_ICON (193 KiB) is malloc'd above the mmap
//                       threshold and freed at realize, which raises glibc's
//                       dynamic trim threshold to twice its size
//   TRIM_THRESHOLD=N    mallopt(M_TRIM_THRESHOLD, N) before anything else
//   TRACE=FILE          writes there, with the monotonic time in µs, every
//                       key pressed, frame painted and allocation of the
//                       window, every change of the scroll bar's opacity
//                       and every signal of its adjustment
#include <gtk/gtk.h>
#include <vte/vte.h>

#include <algorithm>
#include <array>
#include <cstdio>
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

gboolean look_at_key(GtkWidget*, GdkEventKey* event, gpointer) noexcept
{
        constexpr auto both = GdkModifierType(GDK_SHIFT_MASK | GDK_CONTROL_MASK);
        return (event->state & both) == both && event->keyval == GDK_KEY_F;
}

void add_link_pattern(VteTerminal* vte)
{
        // brackenfold's link pattern, as its terminal compiles it.
        constexpr const char pattern[] =
            "(?>https?|ftp|gopher|rtmp):\\/\\/"
            "(?>[^[:punct:][:space:]]|\\[[0-9a-f:]+(%[[:alnum:]_-]+)?\\])"
            "(?>(?>[.,!?:;]*)(?>[^][)(><\"\u201C\u201D.,!?:;[:space:]]+"
            "|\\([^)([:space:]]*\\)|\"[^\"[:space:]]*\"))+";
        auto regex = vte_regex_new_for_match(pattern, -1, 0x408, nullptr);
        auto tag = vte_terminal_match_add_regex(vte, regex, 0);
        vte_terminal_match_set_cursor_name(vte, tag, "pointer");
        vte_regex_unref(regex);
}

void set_cell_hints(VteTerminal* vte, GtkWidget* window)
{
        GdkGeometry hints{};
        hints.width_inc = int(vte_terminal_get_char_width(vte));
        hints.height_inc = int(vte_terminal_get_char_height(vte));
        hints.base_width = hints.base_height = 4;
        hints.min_width = 4 + 28 * hints.width_inc;
        hints.min_height = 4 + 3 * hints.height_inc;
        gtk_window_set_geometry_hints(
            GTK_WINDOW(window), nullptr, &hints,
            GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_BASE_SIZE | GDK_HINT_RESIZE_INC));
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

void add_style(GdkScreen* screen, const char* text)
{
        auto css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css, text, -1, nullptr);
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                                  GTK_STYLE_PROVIDER_PRIORITY_USER);
        g_object_unref(css);
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
        if (auto text = g_getenv("CSS"))
                add_style(screen, text);
        if (knob("PADDING", 0)) {
                add_style(screen, "vte-terminal { padding: 2px; }");
        }
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
        if (knob("KEY_HANDLER", 0))
                g_signal_connect(vte, "key-press-event", G_CALLBACK(look_at_key), nullptr);
        if (knob("LINK_PATTERN", 0))
                add_link_pattern(vte);
        if (knob("HINTS", 0))
                set_cell_hints(vte, window);
}

gboolean skip_hidden_bar(GtkWidget* bar, cairo_t*, gpointer) noexcept
{
        auto window = gtk_widget_get_parent_window(bar);
        return window && !gdk_window_is_visible(window);
}

FILE* trace_file() noexcept
{
        static FILE* file = g_getenv("TRACE") ? std::fopen(g_getenv("TRACE"), "w") : nullptr;
        return file;
}

void trace(const char* what, double value = 0) noexcept
{
        if (auto file = trace_file()) {
                std::fprintf(file, "%lld %s %g\n", (long long)g_get_monotonic_time(), what, value);
                std::fflush(file);
        }
}

void trace_bar(GtkWidget* bar) noexcept
{
        if (!trace_file())
                return;
        g_signal_connect(bar, "notify::opacity", G_CALLBACK(+[](GtkWidget* bar, GParamSpec*, gpointer) {
                                 trace("opacity", gtk_widget_get_opacity(bar));
                         }),
                         nullptr);
        g_signal_connect(bar, "notify::visible", G_CALLBACK(+[](GtkWidget* bar, GParamSpec*, gpointer) {
                                 trace("visible", gtk_widget_get_visible(bar));
                         }),
                         nullptr);
        auto adjustment = gtk_range_get_adjustment(GTK_RANGE(bar));
        g_signal_connect(adjustment, "changed", G_CALLBACK(+[](GtkAdjustment* a, gpointer) {
                                 trace("adj-changed", gtk_adjustment_get_upper(a));
                         }),
                         nullptr);
        g_signal_connect(adjustment, "value-changed", G_CALLBACK(+[](GtkAdjustment* a, gpointer) {
                                 trace("adj-value", gtk_adjustment_get_value(a));
                         }),
                         nullptr);
}

void trace_frames(GtkWidget* window) noexcept
{
        if (!trace_file())
                return;
        g_signal_connect(window, "size-allocate", G_CALLBACK(+[](GtkWidget*, GdkRectangle* area, gpointer) {
                                 trace("allocate-width", area->width);
                                 trace("allocate-height", area->height);
                         }),
                         nullptr);
        g_signal_connect(window, "realize", G_CALLBACK(+[](GtkWidget* window, gpointer) {
                                 g_signal_connect(gtk_widget_get_frame_clock(window), "after-paint",
                                                  G_CALLBACK(+[](GdkFrameClock*, gpointer) {
                                                          trace("paint");
                                                  }),
                                                  nullptr);
                         }),
                         nullptr);
        g_signal_connect(window, "event", G_CALLBACK(+[](GtkWidget*, GdkEvent* event, gpointer) {
                                 if (event->type == GDK_KEY_PRESS)
                                         trace("key");
                                 return FALSE;
                         }),
                         nullptr);
}

GtkWidget* scroll(VteTerminal* vte)
{
        auto policy = knob("SCROLLED", 0);
        if (!policy)
                return GTK_WIDGET(vte);
        auto scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        auto vertical = policy == 2 ? GTK_POLICY_AUTOMATIC
                        : policy == 3 ? GTK_POLICY_NEVER : GTK_POLICY_ALWAYS;
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, vertical);
        if (!knob("HIDDEN_BAR", 1))
                g_signal_connect(gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scrolled)),
                                 "draw", G_CALLBACK(skip_hidden_bar), nullptr);
        if (!knob("KINETIC", 1))
                gtk_scrolled_window_set_kinetic_scrolling(GTK_SCROLLED_WINDOW(scrolled), false);
        gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(scrolled), true);
        gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scrolled), true);
        gtk_container_add(GTK_CONTAINER(scrolled), GTK_WIDGET(vte));
        trace_bar(gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scrolled)));
        return scrolled;
}

gboolean place_bar(GtkOverlay* overlay, GtkWidget* child, GdkRectangle* where, gpointer) noexcept
{
        GtkAllocation area;
        gtk_widget_get_allocation(GTK_WIDGET(overlay), &area);
        GtkRequisition natural;
        gtk_widget_get_preferred_size(child, nullptr, &natural);
        where->width = std::min(natural.width, area.width);
        where->height = std::min(natural.height, area.height);
        where->x = area.width - where->width;
        where->y = area.height - where->height;
        return true;
}

GtkWidget* wrap(VteTerminal* vte)
{
        auto inner = scroll(vte);
        auto overlay_kind = knob("OVERLAY", 0);
        if (!overlay_kind)
                return inner;
        auto overlay = gtk_overlay_new();
        gtk_container_add(GTK_CONTAINER(overlay), inner);
        auto revealer = gtk_revealer_new();
        gtk_widget_set_halign(revealer, GTK_ALIGN_END);
        gtk_widget_set_valign(revealer, GTK_ALIGN_END);
        gtk_revealer_set_transition_type(GTK_REVEALER(revealer),
                                         GTK_REVEALER_TRANSITION_TYPE_SLIDE_UP);
        auto content = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 2);
        gtk_widget_set_no_show_all(content, true);
        gtk_container_add(GTK_CONTAINER(content), gtk_entry_new());
        gtk_container_add(GTK_CONTAINER(revealer), content);
        gtk_overlay_add_overlay(GTK_OVERLAY(overlay), revealer);
        auto bar = gtk_info_bar_new();
        gtk_widget_set_no_show_all(bar, true);
        gtk_widget_set_valign(bar, GTK_ALIGN_END);
        gtk_overlay_add_overlay(GTK_OVERLAY(overlay), bar);
        if (overlay_kind == 2)
                g_signal_connect(overlay, "get-child-position", G_CALLBACK(place_bar), nullptr);
        return overlay;
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
        trace_frames(window);
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
