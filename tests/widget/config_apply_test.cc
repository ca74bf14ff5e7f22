// SPDX-License-Identifier: BSD-2-Clause
// Loading the configuration: what the window, the terminal, the link menu
// and the notification bar show afterwards.
#include "fixture.hh"

#include <gdk/gdkx.h>
#include <glib/gstdio.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <X11/Xutil.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class ConfigApplyTest : public TerminalTest {
protected:
        void reload(std::string_view text, bool notify = true)
        {
                write_config(text);
                terminal_load_config(terminal, notify);
        }
        std::string bar_text() const { return gtk_label_get_text(terminal->infobar_label); }
        bool revealed() const { return gtk_info_bar_get_revealed(terminal->infobar); }
        int cell_width() const { return int(vte_terminal_get_char_width(terminal->vte)); }
        int cell_height() const { return int(vte_terminal_get_char_height(terminal->vte)); }
};

// Standard error goes to /dev/null while this lives: some reloads print
// a thousand warning lines.
class QuietStderr {
public:
        QuietStderr()
        {
                std::fflush(stderr);
                auto null = open("/dev/null", O_WRONLY);
                dup2(null, STDERR_FILENO);
                close(null);
        }
        ~QuietStderr()
        {
                std::fflush(stderr);
                dup2(m_saved, STDERR_FILENO);
                close(m_saved);
        }
        QuietStderr(QuietStderr const&) = delete;
        QuietStderr& operator=(QuietStderr const&) = delete;

private:
        int m_saved = dup(STDERR_FILENO);
};

// --- The report in the notification bar ----------------------------------

TEST_F(ConfigApplyTest, CleanReloadReportsSuccessForThreeSecondsWithoutCloseButton)
{
        EXPECT_FALSE(revealed()) << "a clean start shows nothing";
        write_config("[misc]\nscrollback=50\n");
        auto before = g_get_monotonic_time();
        terminal_load_config(terminal, true);
        auto after = g_get_monotonic_time();
        EXPECT_TRUE(revealed());
        EXPECT_EQ(bar_text(), "Configuration loaded successfully.");
        EXPECT_EQ(gtk_info_bar_get_message_type(terminal->infobar), GTK_MESSAGE_INFO);
        EXPECT_FALSE(gtk_info_bar_get_show_close_button(terminal->infobar));
        ASSERT_TRUE(terminal->priv->infobar_timeout);

        // The deadline the main loop holds. A timer of whole seconds is moved
        // so that it fires at the same fraction of a second as the process's
        // other such timers: from when it was added, up to a quarter second
        // early or up to three quarters late. It was added somewhere between
        // `before` and `after`, however slowly the reload ran; 2 or 4 seconds
        // would fall outside.
        auto source = g_main_context_find_source_by_id(nullptr, *terminal->priv->infobar_timeout);
        ASSERT_NE(source, nullptr);
        auto deadline = g_source_get_ready_time(source);
        EXPECT_GT(deadline - before, gint64(2.75 * G_USEC_PER_SEC));
        EXPECT_LE(deadline - after, gint64(3.75 * G_USEC_PER_SEC));

        // And the bar goes away by itself when it comes: never before it,
        // whatever the load (the limit only ends the wait).
        ASSERT_TRUE(iterate_until([&] { return !revealed(); }, 10.0));
        EXPECT_GE(g_get_monotonic_time(), deadline);
        EXPECT_FALSE(terminal->priv->infobar_timeout);
}

TEST_F(ConfigApplyTest, CleanLoadWithoutNotifyShowsNothing)
{
        reload("", false);
        EXPECT_FALSE(revealed());
        EXPECT_FALSE(terminal->priv->infobar_timeout);
}

constexpr std::string_view faulty_config =
    "[misc]\n"
    "bogus=1\n"
    "cursor-shape=Block\n"
    "[colours]\n"
    "normal.red=nored\n"
    "foreground=<red>\n"
    "[open-with]\n"
    "noplace=viewer\n";

// Reading order, not file order; the unknown key always last; the header
// bold and unescaped, the lines escaped.
constexpr std::string_view faulty_report =
    "Configuration loaded with warnings:\n"
    "• invalid cursor shape 'Block' in misc.cursor-shape\n"
    "• invalid colour '<red>' in colours.foreground\n"
    "• invalid colour 'nored' in colours.normal.red\n"
    "• ignoring command in open-with.noplace: missing '%'\n"
    "• unknown or duplicate key in config: misc.bogus";

TEST_F(ConfigApplyTest, FaultyFileShowsItsWarningsAtStartUp)
{
        write_config(faulty_config);
        recreate();
        EXPECT_TRUE(revealed());
        EXPECT_EQ(bar_text(), faulty_report);
        EXPECT_EQ(gtk_info_bar_get_message_type(terminal->infobar), GTK_MESSAGE_WARNING);
        EXPECT_TRUE(gtk_info_bar_get_show_close_button(terminal->infobar));
        EXPECT_FALSE(terminal->priv->infobar_timeout);
        std::string markup = gtk_label_get_label(terminal->infobar_label);
        EXPECT_TRUE(markup.starts_with("<b>Configuration loaded with warnings:</b>\n• ")) << markup;
        EXPECT_NE(markup.find("&lt;red&gt;"), std::string::npos) << markup;
}

TEST_F(ConfigApplyTest, ReloadReplacesTheReportAndItsTimer)
{
        reload("");
        ASSERT_TRUE(terminal->priv->infobar_timeout);
        reload(faulty_config);
        EXPECT_EQ(bar_text(), faulty_report);
        EXPECT_FALSE(terminal->priv->infobar_timeout) << "warnings stay until dismissed";
        reload("[misc]\ncursor-shape=beam\n");
        EXPECT_EQ(bar_text(), "Configuration loaded successfully.");
}

// Whatever the file holds, the bar names the first twenty warnings, each
// quoting a short part of its value, and counts the rest.
TEST_F(ConfigApplyTest, TheReportInTheBarIsBoundedWhateverTheFileHolds)
{
        std::string text = "[misc]\ncursor-shape=" + std::string(3000, 'x') + "\n[open-with]\n";
        for (int i = 0; i < 100; ++i)
                text += "p" + std::to_string(i) + "=viewer\n";
        text += "[unknown]\n";
        for (int i = 0; i < 1000; ++i)
                text += "k" + std::to_string(i) + "=1\n";
        {
                QuietStderr quiet;
                reload(text, false);
        }
        auto shown = bar_text();
        auto lines = std::vector<std::string>{};
        for (size_t start = 0; start <= shown.size();) {
                auto end = std::min(shown.find('\n', start), shown.size());
                lines.push_back(shown.substr(start, end - start));
                start = end + 1;
        }
        ASSERT_EQ(lines.size(), 22u) << shown;
        EXPECT_EQ(lines[1], "• invalid cursor shape '" + std::string(200, 'x') +
                                "…' in misc.cursor-shape");
        EXPECT_EQ(lines[20], "• ignoring command in open-with.p18: missing '%'");
        EXPECT_EQ(lines[21], "… and 82 more warnings");
}

// --- Scroll bar ----------------------------------------------------------

struct ScrollbarCase {
        bool scrollbar;
        bool overlay_setting;
        bool overlay_disabled; // GTK_OVERLAY_SCROLLING=0
        GtkPolicyType expected;
};

void PrintTo(ScrollbarCase const& c, std::ostream* out)
{
        *out << "scrollbar=" << c.scrollbar << " gtk-overlay-scrolling=" << c.overlay_setting
             << " GTK_OVERLAY_SCROLLING=0:" << c.overlay_disabled;
}

class ScrollbarPolicyTest : public ConfigApplyTest,
                            public testing::WithParamInterface<ScrollbarCase> {
protected:
        void TearDown() override
        {
                g_unsetenv("GTK_OVERLAY_SCROLLING");
                g_object_set(gtk_settings_get_default(), "gtk-overlay-scrolling", TRUE, nullptr);
                ConfigApplyTest::TearDown();
        }
};

TEST_P(ScrollbarPolicyTest, FollowsTheTable)
{
        auto c = GetParam();
        if (c.overlay_disabled)
                g_setenv("GTK_OVERLAY_SCROLLING", "0", true);
        else
                g_unsetenv("GTK_OVERLAY_SCROLLING");
        g_object_set(gtk_settings_get_default(), "gtk-overlay-scrolling",
                     gboolean(c.overlay_setting), nullptr);
        write_config(c.scrollbar ? "[misc]\nscrollbar=true\n" : "[misc]\nscrollbar=false\n");
        recreate();

        GtkPolicyType horizontal, vertical;
        gtk_scrolled_window_get_policy(terminal->scrolled_window, &horizontal, &vertical);
        EXPECT_EQ(horizontal, GTK_POLICY_NEVER);
        EXPECT_EQ(vertical, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScrollbarPolicyTest,
    testing::Values(ScrollbarCase{false, true, false, GTK_POLICY_NEVER},
                    ScrollbarCase{false, true, true, GTK_POLICY_NEVER},
                    ScrollbarCase{false, false, false, GTK_POLICY_NEVER},
                    ScrollbarCase{false, false, true, GTK_POLICY_NEVER},
                    ScrollbarCase{true, true, false, GTK_POLICY_AUTOMATIC},
                    ScrollbarCase{true, true, true, GTK_POLICY_ALWAYS},
                    ScrollbarCase{true, false, false, GTK_POLICY_ALWAYS},
                    ScrollbarCase{true, false, true, GTK_POLICY_ALWAYS}),
    [](auto const& info) {
            auto c = info.param;
            return std::string{c.scrollbar ? "On" : "Off"} +
                   (c.overlay_setting ? "Overlay" : "NoOverlay") +
                   (c.overlay_disabled ? "EnvOff" : "EnvAny");
    });

TEST_F(ConfigApplyTest, ReloadReadsTheOverlaySettingAgain)
{
        GtkPolicyType horizontal, vertical;
        gtk_scrolled_window_get_policy(terminal->scrolled_window, &horizontal, &vertical);
        ASSERT_EQ(vertical, GTK_POLICY_AUTOMATIC);
        g_object_set(gtk_settings_get_default(), "gtk-overlay-scrolling", FALSE, nullptr);
        reload("");
        gtk_scrolled_window_get_policy(terminal->scrolled_window, &horizontal, &vertical);
        g_object_set(gtk_settings_get_default(), "gtk-overlay-scrolling", TRUE, nullptr);
        EXPECT_EQ(vertical, GTK_POLICY_ALWAYS);
}

// Whether the scroll bar's own drawing runs when GTK asks it to draw.
bool scroll_bar_draws(GtkWidget* bar)
{
        auto surface = Owned<cairo_surface_t, cairo_surface_destroy>{
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 256)};
        auto cr = Owned<cairo_t, cairo_destroy>{cairo_create(surface.get())};
        gboolean handled = FALSE;
        g_signal_emit_by_name(bar, "draw", cr.get(), &handled);
        return !handled;
}

// A faded-out overlay scroll bar sits in a hidden window: drawing it there
// would cost every frame (every key typed) and show nothing. Shown again
// (the pointer comes near), or as a permanent bar, it draws as ever.
TEST_F(ConfigApplyTest, AScrollBarDrawsOnlyWhereItCanBeSeen)
{
        // Under the automatic policy the bar is there only while there is
        // something to scroll to.
        std::string lines;
        for (int i = 0; i < 200; ++i)
                lines += std::to_string(i) + "\r\n";
        show_text(lines);
        auto bar = gtk_scrolled_window_get_vscrollbar(terminal->scrolled_window);
        ASSERT_TRUE(iterate_until([&] { return gtk_widget_get_mapped(bar); }));
        auto indicator = gtk_widget_get_parent_window(bar);
        ASSERT_NE(indicator, nullptr);
        ASSERT_NE(indicator, gtk_widget_get_window(GTK_WIDGET(terminal->scrolled_window)))
            << "an overlay scroll bar has a window of its own";

        gdk_window_hide(indicator);
        EXPECT_FALSE(scroll_bar_draws(bar));
        gdk_window_show(indicator);
        EXPECT_TRUE(scroll_bar_draws(bar));

        g_object_set(gtk_settings_get_default(), "gtk-overlay-scrolling", FALSE, nullptr);
        auto restore = std::unique_ptr<GtkSettings, void (*)(GtkSettings*)>{
            gtk_settings_get_default(), [](GtkSettings* settings) {
                    g_object_set(settings, "gtk-overlay-scrolling", TRUE, nullptr);
            }};
        reload("");
        // A permanent bar never fades: its window stays shown and it draws.
        ASSERT_TRUE(iterate_until([&] {
                auto window = gtk_widget_get_parent_window(bar);
                return window && gdk_window_is_visible(window);
        }));
        EXPECT_TRUE(scroll_bar_draws(bar));
}

// --- Geometry hints, as the window manager reads them -------------------

struct SizeHints {
        int min_width = -1, min_height = -1;
        int base_width = -1, base_height = -1;
        int width_inc = -1, height_inc = -1;
        bool operator==(SizeHints const&) const = default;
};

std::ostream& operator<<(std::ostream& out, SizeHints const& h)
{
        return out << "min " << h.min_width << "x" << h.min_height << ", base "
                   << h.base_width << "x" << h.base_height << ", inc "
                   << h.width_inc << "x" << h.height_inc;
}

SizeHints read_x_hints(GtkWindow* window)
{
        auto gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
        if (!gdk_window)
                return {};
        auto display = GDK_DISPLAY_XDISPLAY(gdk_window_get_display(gdk_window));
        XSync(display, False);
        XSizeHints x{};
        long supplied = 0;
        if (!XGetWMNormalHints(display, GDK_WINDOW_XID(gdk_window), &x, &supplied))
                return {};
        SizeHints h;
        if (x.flags & PMinSize) {
                h.min_width = x.min_width;
                h.min_height = x.min_height;
        }
        if (x.flags & PBaseSize) {
                h.base_width = x.base_width;
                h.base_height = x.base_height;
        }
        if (x.flags & PResizeInc) {
                h.width_inc = x.width_inc;
                h.height_inc = x.height_inc;
        }
        return h;
}

class GeometryHintsTest : public ConfigApplyTest {
protected:
        SizeHints expected(bool resize_hints) const
        {
                auto base = terminal->priv->base_width;
                return {base + 28 * cell_width(), 4 + 3 * cell_height(),
                        base, 4,
                        resize_hints ? cell_width() : 0, resize_hints ? cell_height() : 0};
        }
        // The toolkit hands the hints to X at its next layout.
        SizeHints wait_for_x_hints(SizeHints const& want)
        {
                SizeHints got;
                iterate_until([&] { return (got = read_x_hints(window)) == want; });
                return got;
        }
};

TEST_F(GeometryHintsTest, BaseWidthIsTheWindowAroundEightyColumns)
{
        // Measured at construction from the width the toolkit proposes for
        // the content: the terminal's natural width.
        int natural = 0;
        gtk_widget_get_preferred_width(GTK_WIDGET(terminal), nullptr, &natural);
        EXPECT_EQ(terminal->priv->base_width, natural - 80 * cell_width());
        EXPECT_GE(terminal->priv->base_width, 0);
        EXPECT_EQ(terminal->priv->base_height, 4);
}

// A font whose eighty columns are wider than the screen, in a window of
// its own: the window around the grid is the same as with any other font.
TEST_F(GeometryHintsTest, BaseWidthIsTheSameWithAFontWiderThanTheScreen)
{
        auto base = terminal->priv->base_width;
        TearDown();
        write_config("[misc]\nfont=Monospace 48\n");
        SetUp();
        GdkRectangle area{};
        gdk_monitor_get_workarea(gdk_display_get_monitor_at_window(
                                     gtk_widget_get_display(GTK_WIDGET(window)),
                                     gtk_widget_get_window(GTK_WIDGET(window))),
                                 &area);
        ASSERT_GT(80 * cell_width(), area.width) << "the font fits the screen";
        EXPECT_EQ(terminal->priv->base_width, base);
        auto want = expected(true);
        EXPECT_EQ(wait_for_x_hints(want), want);
}

// With resize hints the window grows in cells; without them the minimum
// and the base still hold.
class ResizeHintsTest : public GeometryHintsTest, public testing::WithParamInterface<bool> {};

TEST_P(ResizeHintsTest, ReachTheWindowManager)
{
        auto resize_hints = GetParam();
        reload(std::string{"[misc]\nresize-hints="} + (resize_hints ? "true" : "false") + "\n");
        auto want = expected(resize_hints);
        EXPECT_EQ(wait_for_x_hints(want), want);
}

INSTANTIATE_TEST_SUITE_P(OnAndOff, ResizeHintsTest, testing::Values(true, false),
                         [](auto const& info) { return info.param ? "On" : "Off"; });

TEST_F(GeometryHintsTest, FontChangeFollowsTheNewCellsButKeepsTheBaseWidth)
{
        auto base = terminal->priv->base_width;
        auto old_width = cell_width();
        reload("[misc]\nfont=Monospace 24\n");
        ASSERT_GT(cell_width(), old_width);
        EXPECT_EQ(terminal->priv->base_width, base);
        auto want = expected(true);
        EXPECT_EQ(want.base_width, base);
        EXPECT_EQ(wait_for_x_hints(want), want);
}

// Zooming changes the cells without a reload; the window manager must size
// the window in the new cells, around the same base.
TEST_F(GeometryHintsTest, ZoomFollowsTheNewCells)
{
        auto base = terminal->priv->base_width;
        auto old_width = cell_width();
        for (double scale : {1.2 * 1.2, 1.0 / 1.2}) {
                SCOPED_TRACE(scale);
                vte_terminal_set_font_scale(terminal->vte, scale);
                ASSERT_NE(cell_width(), old_width);
                auto want = expected(true);
                EXPECT_EQ(want.base_width, base);
                EXPECT_EQ(wait_for_x_hints(want), want);
                old_width = cell_width();
        }
}

// --- The terminal widget ---------------------------------------------------

TEST_F(ConfigApplyTest, TerminalOptionsFollowTheFile)
{
        reload("[misc]\n"
               "autohide-mouse=true\n"
               "cursor-shape=underline\n"
               "cursor-blink=false\n"
               "font=Monospace 9\n"
               "scrollback=-1\n"
               "allow-hyperlinks=true\n"
               "bold-is-bright=true\n");
        auto vte = terminal->vte;
        EXPECT_TRUE(vte_terminal_get_mouse_autohide(vte));
        EXPECT_EQ(vte_terminal_get_cursor_shape(vte), VTE_CURSOR_SHAPE_UNDERLINE);
        EXPECT_EQ(vte_terminal_get_cursor_blink_mode(vte), VTE_CURSOR_BLINK_OFF);
        EXPECT_EQ(pango_font_description_get_size(vte_terminal_get_font(vte)), 9 * PANGO_SCALE);
        guint scrollback = 0;
        g_object_get(vte, "scrollback-lines", &scrollback, nullptr);
        EXPECT_EQ(scrollback, G_MAXUINT) << "a negative scrollback keeps its sign: unlimited";
        EXPECT_TRUE(vte_terminal_get_allow_hyperlink(vte));
        EXPECT_TRUE(vte_terminal_get_bold_is_bright(vte));
        for (auto negative : {"-5", "-2147483648"}) {
                reload(std::string{"[misc]\nscrollback=50\n"});
                reload(std::string{"[misc]\nscrollback="} + negative + "\n");
                g_object_get(vte, "scrollback-lines", &scrollback, nullptr);
                EXPECT_EQ(scrollback, G_MAXUINT) << negative << " keeps every line too";
        }

        reload("");
        EXPECT_FALSE(vte_terminal_get_mouse_autohide(vte));
        EXPECT_EQ(vte_terminal_get_cursor_shape(vte), VTE_CURSOR_SHAPE_BLOCK);
        EXPECT_EQ(vte_terminal_get_cursor_blink_mode(vte), VTE_CURSOR_BLINK_SYSTEM);
        EXPECT_EQ(pango_font_description_get_size(vte_terminal_get_font(vte)), 12 * PANGO_SCALE);
        g_object_get(vte, "scrollback-lines", &scrollback, nullptr);
        EXPECT_EQ(scrollback, 10000u);
        EXPECT_FALSE(vte_terminal_get_allow_hyperlink(vte));
        EXPECT_FALSE(vte_terminal_get_bold_is_bright(vte));
}

TEST_F(ConfigApplyTest, BackgroundColourFollowsTheFile)
{
        reload("[colours]\nbackground=#102030\n");
        GdkRGBA colour{};
        vte_terminal_get_color_background_for_draw(terminal->vte, &colour);
        EXPECT_EQ(std::string{CharPtr{gdk_rgba_to_string(&colour)}.get()}, "rgb(16,32,48)");
}

TEST_F(ConfigApplyTest, ReloadKeepsTheZoom)
{
        vte_terminal_set_font_scale(terminal->vte, 1.5);
        reload("[misc]\nfont=Monospace 10\n");
        EXPECT_DOUBLE_EQ(vte_terminal_get_font_scale(terminal->vte), 1.5);
}

// --- Open-with entries of the link menu -----------------------------------

struct MenuEntry {
        std::string label; // "---" for a separator
        bool visible;
        bool operator==(MenuEntry const&) const = default;
};

std::ostream& operator<<(std::ostream& out, MenuEntry const& e)
{
        return out << (e.visible ? "" : "(hidden) ") << e.label;
}

std::vector<MenuEntry> link_menu(Terminal* terminal)
{
        std::vector<MenuEntry> entries;
        auto children = gtk_container_get_children(GTK_CONTAINER(terminal->uri_context_menu));
        for (auto l = children; l; l = l->next) {
                auto widget = GTK_WIDGET(l->data);
                auto label = GTK_IS_SEPARATOR_MENU_ITEM(widget)
                                 ? "---"
                                 : gtk_menu_item_get_label(GTK_MENU_ITEM(widget));
                entries.push_back({label ? label : "", bool(gtk_widget_get_visible(widget))});
        }
        g_list_free(children);
        return entries;
}

constexpr std::string_view three_programs =
    "[open-with]\n"
    "zeta=zeta-browser --new-tab %\n"
    "alpha=alpha-viewer %\n"
    "mid=sh -c 'echo \"$1\"' sh %\n";

TEST_F(ConfigApplyTest, OpenWithEntriesAreRebuiltNotAccumulated)
{
        const std::vector<MenuEntry> none{{"_Copy URI", true}, {"---", false}};
        ASSERT_EQ(link_menu(terminal), none);
        iterate_pending();
        auto refs = G_OBJECT(terminal)->ref_count;

        reload(three_programs, false);
        EXPECT_EQ(link_menu(terminal), (std::vector<MenuEntry>{{"_Copy URI", true},
                                                             {"---", true},
                                                             {"Open with zeta", true},
                                                             {"Open with alpha", true},
                                                             {"Open with mid", true}}));
        ASSERT_EQ(terminal->priv->open_with_items.size(), 3u);
        EXPECT_EQ(G_OBJECT(terminal)->ref_count, refs + 3) << "one record per item";

        std::vector<gpointer> old_items;
        for (auto const& item : terminal->priv->open_with_items)
                old_items.push_back(item.get());
        for (auto& item : old_items)
                g_object_add_weak_pointer(G_OBJECT(item), &item);

        reload("[open-with]\nsolo=solo-viewer %\n", false);
        EXPECT_EQ(link_menu(terminal), (std::vector<MenuEntry>{{"_Copy URI", true},
                                                             {"---", true},
                                                             {"Open with solo", true}}));
        EXPECT_EQ(terminal->priv->open_with_items.size(), 1u);
        for (auto item : old_items)
                EXPECT_EQ(item, nullptr) << "a replaced item is freed, not kept";
        EXPECT_EQ(G_OBJECT(terminal)->ref_count, refs + 1);

        reload("", false);
        EXPECT_EQ(link_menu(terminal), none);
        EXPECT_TRUE(terminal->priv->open_with_items.empty());
        EXPECT_EQ(G_OBJECT(terminal)->ref_count, refs);
}

// Key names are not checked for UTF-8 by the key file; a menu label must be.
TEST_F(ConfigApplyTest, OpenWithNamesThatAreNotUtf8AreShownReadably)
{
        reload("[open-with]\nfoo\xff\xfe" "bar=echo %\n", false);
        EXPECT_EQ(link_menu(terminal),
                  (std::vector<MenuEntry>{{"_Copy URI", true},
                                          {"---", true},
                                          {"Open with foo\uFFFD\uFFFD" "bar", true}}));
}

// A thousand reloads, warnings and clean ones by turns, leave the same menu,
// the same references and no more memory in use than after the first few
// hundred (the font and style caches fill up over those).
TEST_F(ConfigApplyTest, RepeatedReloadsDoNotAccumulate)
{
        const std::string clean{three_programs};
        const std::string faulty = clean + "[misc]\nbogus=1\n";
        auto reload_times = [&](int n) {
                QuietStderr quiet;
                for (int i = 0; i < n; ++i)
                        reload(i % 2 ? clean : faulty, i % 2);
                iterate_pending();
        };
        reload_times(300);
        auto menu = link_menu(terminal);
        auto refs = G_OBJECT(terminal)->ref_count;
#ifdef __GLIBC__
        auto heap = mallinfo2().uordblks;
#endif

        reload_times(1000);
        EXPECT_EQ(link_menu(terminal), menu);
        EXPECT_EQ(terminal->priv->open_with_items.size(), 3u);
        EXPECT_EQ(G_OBJECT(terminal)->ref_count, refs);
#ifdef __GLIBC__
        auto growth = ptrdiff_t(mallinfo2().uordblks) - ptrdiff_t(heap);
        // One leaked menu item, record, configuration or warning line per
        // reload would be well over this.
        EXPECT_LT(growth, 64 * 1024) << "heap grew by " << growth << " bytes";
#endif
}

} // namespace

namespace {

// The reload source can run in the same main-loop iteration that destroyed
// the window; the terminal's widgets are gone by then.
TEST_F(ConfigApplyTest, ReloadOfADestroyedTerminalDoesNothing)
{
        auto held = share_ref(terminal);
        forget_child();
        gtk_widget_destroy(GTK_WIDGET(window));
        ASSERT_EQ(terminal->vte, nullptr);
        terminal_load_config(terminal, true);
        EXPECT_FALSE(terminal->priv->infobar_timeout);
        terminal = nullptr;
}

} // namespace

namespace {

// Each item launches the program it was built with, from its own copy: one
// still held after later reloads (which freed its configuration) launches
// its old command; the current one launches the new command.
TEST_F(ConfigApplyTest, OpenWithItemLaunchesItsOwnCopyOfTheProgram)
{
        auto dir = CharPtr{g_dir_make_tmp("brackenfold-open-with-XXXXXX", nullptr)};
        auto old_record = std::string{dir.get()} + "/old";
        auto new_record = std::string{dir.get()} + "/new";
        auto config = [](const std::string& record) {
                return "[open-with]\nview=sh -c 'printf %s \"$1\" > \"$0\"' " + record + " %\n";
        };
        reload(config(old_record), false);
        ASSERT_EQ(terminal->priv->open_with_items.size(), 1u);
        auto old_item = share_ref(terminal->priv->open_with_items[0].get());
        std::weak_ptr<const Config> old_config = terminal->priv->config;

        reload(config(new_record), false);
        reload(config(new_record), false);
        ASSERT_TRUE(old_config.expired()) << "the configuration that built the item is gone";
        ASSERT_EQ(terminal->priv->open_with_items.size(), 1u);

        const std::string link = "https://example.org/a?b=c";
        terminal->priv->match_uri = link;
        gtk_menu_item_activate(GTK_MENU_ITEM(old_item.get()));
        gtk_menu_item_activate(GTK_MENU_ITEM(terminal->priv->open_with_items[0].get()));
        auto read = [](const std::string& path) {
                char* text = nullptr;
                std::string result;
                if (g_file_get_contents(path.c_str(), &text, nullptr, nullptr))
                        result = CharPtr{text}.get();
                return result;
        };
        EXPECT_TRUE(iterate_until([&] { return read(old_record) == link; })) << read(old_record);
        EXPECT_TRUE(iterate_until([&] { return read(new_record) == link; })) << read(new_record);

        g_unlink(old_record.c_str());
        g_unlink(new_record.c_str());
        g_rmdir(dir.get());
}

} // namespace
