// SPDX-License-Identifier: BSD-2-Clause
// The window's icon is set after its first frame, not before it, and comes
// from the program itself where the icon theme has none of that name.
#include "fixture.hh"
#include "window-icon.hh"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib/gstdio.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using PixbufPtr = RefPtr<GdkPixbuf>;

// One icon of a window's _NET_WM_ICON: its size and its pixels as ARGB.
struct WindowIcon {
        unsigned long width = 0;
        unsigned long height = 0;
        std::vector<guint32> argb;
};

// A pixbuf's pixels the way _NET_WM_ICON carries them.
std::vector<guint32> argb_of(GdkPixbuf* pixbuf)
{
        std::vector<guint32> argb;
        auto channels = gdk_pixbuf_get_n_channels(pixbuf);
        auto stride = gdk_pixbuf_get_rowstride(pixbuf);
        auto pixels = gdk_pixbuf_read_pixels(pixbuf);
        for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); ++y) {
                for (int x = 0; x < gdk_pixbuf_get_width(pixbuf); ++x) {
                        auto p = pixels + y * stride + x * channels;
                        guint32 alpha = gdk_pixbuf_get_has_alpha(pixbuf) ? p[3] : 0xff;
                        argb.push_back(alpha << 24 | guint32(p[0]) << 16 |
                                       guint32(p[1]) << 8 | p[2]);
                }
        }
        return argb;
}

// An icon theme of the test's own, made the screen's theme while it lives,
// so that nothing of the machine's themes shows through: with or without a
// "utilities-terminal" of one flat colour. A second one made while the
// first lives is a change of theme, and its end changes back.
class TestIconTheme {
public:
        static constexpr guint32 terminal_colour = 0xffd01c8b;

        explicit TestIconTheme(bool with_terminal_icon, guint32 colour = terminal_colour,
                               std::string theme_name = "brackenfold-test")
            : m_dir{g_dir_make_tmp("icon-theme-XXXXXX", nullptr)}, m_name{std::move(theme_name)},
              m_colour{colour}
        {
                if (!m_dir) {
                        ADD_FAILURE() << "no directory for the icon theme";
                        return;
                }
                auto apps = path("48x48/apps");
                g_mkdir_with_parents(apps.c_str(), 0700);
                m_files.push_back(path("index.theme"));
                auto index = "[Icon Theme]\nName=" + m_name +
                             "\n"
                             "Comment=Made by the widget tests\n"
                             "Directories=48x48/apps\n"
                             "\n"
                             "[48x48/apps]\n"
                             "Size=48\n"
                             "Type=Fixed\n";
                EXPECT_TRUE(g_file_set_contents(m_files.back().c_str(), index.c_str(), -1, nullptr));
                if (with_terminal_icon)
                        write_terminal_icon(apps + "/utilities-terminal.png");

                auto theme = gtk_icon_theme_get_default();
                char** saved = nullptr;
                gtk_icon_theme_get_search_path(theme, &saved, nullptr);
                m_saved_search_path = StrvPtr{saved};
                const char* search_path[] = {m_dir.get()};
                gtk_icon_theme_set_search_path(theme, search_path, 1);
                char* saved_name = nullptr;
                g_object_get(gtk_settings_get_default(), "gtk-icon-theme-name", &saved_name,
                             nullptr);
                m_saved_theme_name = CharPtr{saved_name};
                g_object_set(gtk_settings_get_default(), "gtk-icon-theme-name", m_name.c_str(),
                             nullptr);
        }

        ~TestIconTheme()
        {
                if (!m_dir)
                        return;
                auto saved = m_saved_search_path.get();
                gtk_icon_theme_set_search_path(gtk_icon_theme_get_default(),
                                               const_cast<const char**>(saved),
                                               saved ? int(g_strv_length(saved)) : 0);
                g_object_set(gtk_settings_get_default(), "gtk-icon-theme-name",
                             m_saved_theme_name.get(), nullptr);
                for (auto const& file : m_files)
                        g_remove(file.c_str());
                for (auto dir : {"48x48/apps", "48x48", ""})
                        g_rmdir(path(dir).c_str());
                g_rmdir(m_dir.get());
        }

        TestIconTheme(TestIconTheme const&) = delete;
        TestIconTheme& operator=(TestIconTheme const&) = delete;

        // The theme's "utilities-terminal.png" becomes something no loader
        // can read.
        void break_terminal_icon()
        {
                ASSERT_FALSE(m_icon_file.empty());
                ASSERT_TRUE(g_file_set_contents(m_icon_file.c_str(), "<svg not a png", -1, nullptr));
        }

private:
        // Within the theme's own directory, under the search path.
        std::string path(const char* relative) const
        {
                return CharPtr{g_build_filename(m_dir.get(), m_name.c_str(), relative, nullptr)}
                    .get();
        }

        void write_terminal_icon(const std::string& file)
        {
                auto icon = PixbufPtr{gdk_pixbuf_new(GDK_COLORSPACE_RGB, true, 8, 48, 48)};
                // gdk_pixbuf_fill takes RGBA.
                gdk_pixbuf_fill(icon.get(), m_colour << 8 | m_colour >> 24);
                m_files.push_back(file);
                m_icon_file = file;
                EXPECT_TRUE(gdk_pixbuf_save(icon.get(), file.c_str(), "png", nullptr, nullptr));
        }

        CharPtr m_dir;
        std::string m_name;
        guint32 m_colour;
        std::vector<std::string> m_files;
        std::string m_icon_file;
        StrvPtr m_saved_search_path;
        CharPtr m_saved_theme_name;
};

bool window_has_icon(GtkWindow* window)
{
        auto icons = Owned<GList, g_list_free>{gtk_window_get_icon_list(window)};
        return icons != nullptr;
}

class WindowIconTest : public testing::Test {
protected:
        void SetUp() override
        {
                theme.emplace(true);
                owned = RefPtr<GtkWindow>{new_counted_window(&draws)};
                window = owned.get();
                g_signal_connect(window, "notify::icon",
                                 G_CALLBACK(+[](GtkWindow*, GParamSpec*,
                                                WindowIconTest* self) {
                                         if (self->has_icon() && self->draws_at_icon < 0)
                                                 self->draws_at_icon = self->draws;
                                 }),
                                 this);
        }

        void TearDown() override
        {
                if (window)
                        gtk_widget_destroy(GTK_WIDGET(window));
                theme.reset();
        }

        // The window's _NET_WM_ICON, icon by icon.
        std::vector<WindowIcon> window_icons() const
        {
                std::vector<WindowIcon> icons;
                auto gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
                if (!gdk_window)
                        return icons;
                Atom type = None;
                int format = 0;
                unsigned long items = 0, after = 0;
                unsigned char* data = nullptr;
                XGetWindowProperty(GDK_WINDOW_XDISPLAY(gdk_window), GDK_WINDOW_XID(gdk_window),
                                   gdk_x11_get_xatom_by_name("_NET_WM_ICON"), 0, G_MAXLONG,
                                   False, XA_CARDINAL, &type, &format, &items, &after, &data);
                // Xlib hands 32-bit items over as longs.
                auto values = reinterpret_cast<unsigned long*>(data);
                for (unsigned long i = 0; type == XA_CARDINAL && i + 2 <= items;) {
                        WindowIcon icon{values[i], values[i + 1], {}};
                        i += 2;
                        for (unsigned long n = 0; n < icon.width * icon.height && i < items; ++n)
                                icon.argb.push_back(guint32(values[i++]));
                        icons.push_back(std::move(icon));
                }
                if (data)
                        XFree(data);
                return icons;
        }

        // The number of 32-bit items in the window's _NET_WM_ICON.
        unsigned long icon_property_items() const
        {
                unsigned long items = 0;
                for (auto const& icon : window_icons())
                        items += 2 + icon.argb.size();
                return items;
        }

        bool has_icon() const { return window_has_icon(window); }
        // Whether the window shows the test theme's "utilities-terminal":
        // one icon, 48 pixels, of that colour.
        bool shows_terminal_icon(guint32 colour = TestIconTheme::terminal_colour) const
        {
                auto icons = window_icons();
                return icons.size() == 1 && icons[0].width == 48 &&
                       icons[0].argb == std::vector<guint32>(48 * 48, colour);
        }

        // Whether the window shows one icon: the program's own.
        bool shows_own_icon() const
        {
                auto icons = window_icons();
                return icons.size() == 1 && icons[0].argb == own_icon_drawn();
        }

        // The program's SVG as it is installed, drawn the way the build draws
        // the copy the program carries.
        static std::vector<guint32> own_icon_drawn()
        {
                auto file = CharPtr{g_build_filename(
                    g_getenv("TEST_SRCDIR"), "..", "data", "icons", "hicolor", "scalable",
                    "apps", "io.github.brackenfold.svg", nullptr)};
                Error error;
                auto drawn = PixbufPtr{gdk_pixbuf_new_from_file_at_scale(
                    file.get(), own_icon_size, own_icon_size, true, error.out())};
                EXPECT_TRUE(drawn) << error.message();
                return drawn ? argb_of(drawn.get()) : std::vector<guint32>{};
        }

        std::optional<TestIconTheme> theme;
        RefPtr<GtkWindow> owned;
        GtkWindow* window = nullptr;
        // How often the window was drawn, in all and when it got its icon.
        int draws = 0;
        int draws_at_icon = -1;
};

TEST_F(WindowIconTest, ArrivesAfterTheFirstFrame)
{
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        EXPECT_FALSE(has_icon()) << "the icon theme would load before the window appears";
        EXPECT_EQ(icon_property_items(), 0u);

        ASSERT_TRUE(iterate_until([&] { return has_icon(); }));
        EXPECT_GE(draws_at_icon, 1);
        auto icons = window_icons();
        ASSERT_EQ(icons.size(), 1u);
        EXPECT_EQ(icons[0].width, 48u);
        EXPECT_EQ(icons[0].argb, std::vector<guint32>(48 * 48, TestIconTheme::terminal_colour));
}

// What is pending when the first frame is painted (the command's first
// output, or its end) is handled before the icon theme is loaded.
TEST_F(WindowIconTest, WorkPendingAtTheFirstFrameGoesFirst)
{
        struct Probe {
                GtkWindow* window = nullptr;
                bool queued = false;
                std::optional<bool> icon_when_work_ran = std::nullopt;
        } probe{window};
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        // Connected after the icon's own handlers: this runs after them.
        g_signal_connect(window, "map", G_CALLBACK(+[](GtkWidget* window, Probe* probe) {
                                 g_signal_connect(
                                     gtk_widget_get_frame_clock(window), "after-paint",
                                     G_CALLBACK(+[](GdkFrameClock*, Probe* probe) {
                                             if (std::exchange(probe->queued, true))
                                                     return;
                                             g_idle_add(+[](gpointer data) {
                                                     auto probe = static_cast<Probe*>(data);
                                                     probe->icon_when_work_ran =
                                                         window_has_icon(probe->window);
                                                     return G_SOURCE_REMOVE;
                                             },
                                                        probe);
                                     }),
                                     probe);
                         }),
                         &probe);
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return has_icon(); }));
        ASSERT_TRUE(probe.icon_when_work_ran.has_value()) << "no frame was painted";
        EXPECT_FALSE(*probe.icon_when_work_ran);
        auto clock = gtk_widget_get_frame_clock(GTK_WIDGET(window));
        g_signal_handlers_disconnect_matched(clock, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                             &probe);
}

// The icon still to come does not keep a closed window alive, and finds
// it gone.
TEST_F(WindowIconTest, AWindowGoneBeforeItsIconIsLeftAlone)
{
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        // The frame that draws first queues the icon for later.
        ASSERT_TRUE(iterate_until([&] { return draws > 0; }));
        ASSERT_FALSE(has_icon());
        gpointer gone = window;
        g_object_add_weak_pointer(G_OBJECT(window), &gone);
        gtk_widget_destroy(GTK_WIDGET(window));
        owned.reset();
        window = nullptr;
        EXPECT_EQ(gone, nullptr) << "the pending icon holds the window";
        iterate_pending();
        if (gone)
                g_object_remove_weak_pointer(G_OBJECT(gone), &gone);
}

// A window on screen with nothing to redraw paints no frame of its own:
// the icon asks for one.
TEST_F(WindowIconTest, AMappedWindowGetsItAfterItsNextFrame)
{
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return draws > 0; }));
        iterate_pending();
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        EXPECT_FALSE(has_icon());

        ASSERT_TRUE(iterate_until([&] { return has_icon(); }, 2.0));
        EXPECT_TRUE(shows_terminal_icon());
        EXPECT_GT(icon_property_items(), 2u);
}

TEST_F(WindowIconTest, TheLastNameGivenBeforeTheFrameWins)
{
        window_set_icon_name_after_first_frame(window, "edit-copy");
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return has_icon(); }));
        EXPECT_TRUE(shows_terminal_icon()) << "not the theme's utilities-terminal";
        // Later frames change nothing.
        for (int i = 0; i < 3; ++i) {
                auto before = draws;
                gtk_widget_queue_draw(GTK_WIDGET(window));
                ASSERT_TRUE(iterate_until([&] { return draws > before; }));
        }
        EXPECT_TRUE(shows_terminal_icon());
}

// The window's icons come from a theme that is dropped once asked: a change
// of the desktop's icon theme is followed all the same, both ways, and to a
// theme without the icon too.
TEST_F(WindowIconTest, FollowsAChangeOfIconTheme)
{
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return shows_terminal_icon(); }));

        constexpr guint32 green = 0xff2ec27e;
        {
                TestIconTheme other{true, green, "brackenfold-test-green"};
                EXPECT_TRUE(iterate_until([&] { return shows_terminal_icon(green); }))
                    << "the new theme's icon did not arrive";
        }
        EXPECT_TRUE(iterate_until([&] { return shows_terminal_icon(); }))
            << "the first theme's icon did not come back";

        {
                TestIconTheme without{false, green, "brackenfold-test-empty"};
                EXPECT_TRUE(iterate_until([&] { return shows_own_icon(); }))
                    << "a theme without the icon did not give the program's own";
        }
}

// Whatever the machine's own theme has, the window is never without an icon.
TEST_F(WindowIconTest, TheDesktopsThemeLeavesNoWindowWithoutAnIcon)
{
        theme.reset();
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return !window_icons().empty(); }));
        for (auto const& icon : window_icons()) {
                EXPECT_GT(icon.width, 0u);
                EXPECT_EQ(icon.argb.size(), icon.width * icon.height);
        }
}

// A theme without the name (Adwaita 48 has no full-colour
// "utilities-terminal") gets the program's own icon in its place, also
// when the program is not installed.
TEST_F(WindowIconTest, WithoutTheNameInTheThemeTheProgramsOwnIconIsShown)
{
        theme.reset();
        theme.emplace(false);
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        EXPECT_TRUE(window_icons().empty());
        ASSERT_TRUE(iterate_until([&] { return !window_icons().empty(); }));
        auto icons = window_icons();
        ASSERT_EQ(icons.size(), 1u);
        EXPECT_EQ(icons[0].width, unsigned(own_icon_size));
        EXPECT_EQ(icons[0].height, unsigned(own_icon_size));
        EXPECT_TRUE(icons[0].argb == own_icon_drawn()) << "not the program's own icon";
        EXPECT_GT(draws, 0);
}

// A theme whose icon cannot be read leaves the window with the program's
// own, not without an icon.
TEST_F(WindowIconTest, AnUnreadableThemeIconGivesWayToTheProgramsOwn)
{
        theme->break_terminal_icon();
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return !window_icons().empty(); }));
        EXPECT_TRUE(shows_own_icon()) << "not the program's own icon";
}

} // namespace
