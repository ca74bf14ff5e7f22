// The window's icon is set after its first frame, not before it.
#include "fixture.hh"
#include "window-icon.hh"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <string>

namespace {

class WindowIconTest : public testing::Test {
protected:
        void SetUp() override
        {
                owned = RefPtr<GtkWindow>{
                    GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))};
                window = owned.get();
                gtk_window_set_default_size(window, 120, 80);
                g_signal_connect(window, "draw",
                                 G_CALLBACK(+[](GtkWidget*, cairo_t*, int* draws) {
                                         ++*draws;
                                         return false;
                                 }),
                                 &draws);
                g_signal_connect(window, "notify::icon-name",
                                 G_CALLBACK(+[](GtkWindow* window, GParamSpec*,
                                                WindowIconTest* self) {
                                         if (gtk_window_get_icon_name(window) &&
                                             self->draws_at_icon < 0)
                                                 self->draws_at_icon = self->draws;
                                 }),
                                 this);
        }

        void TearDown() override { gtk_widget_destroy(GTK_WIDGET(window)); }

        // The number of 32-bit items in the window's _NET_WM_ICON.
        unsigned long icon_property_items() const
        {
                auto gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
                if (!gdk_window)
                        return 0;
                Atom type = None;
                int format = 0;
                unsigned long items = 0, after = 0;
                unsigned char* data = nullptr;
                XGetWindowProperty(GDK_WINDOW_XDISPLAY(gdk_window), GDK_WINDOW_XID(gdk_window),
                                   gdk_x11_get_xatom_by_name("_NET_WM_ICON"), 0, G_MAXLONG,
                                   False, XA_CARDINAL, &type, &format, &items, &after, &data);
                if (data)
                        XFree(data);
                return type == XA_CARDINAL ? items : 0;
        }

        bool has_icon() const { return gtk_window_get_icon_name(window) != nullptr; }
        std::string icon() const
        {
                auto name = gtk_window_get_icon_name(window);
                return name ? name : "";
        }

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
        EXPECT_EQ(icon(), "utilities-terminal");
        EXPECT_GE(draws_at_icon, 1);
        // Width, height and the pixels of at least one size.
        EXPECT_GT(icon_property_items(), 2u);
}

TEST_F(WindowIconTest, AMappedWindowGetsItAfterItsNextFrame)
{
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return draws > 0; }));
        auto draws_before = draws;
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        EXPECT_FALSE(has_icon());

        gtk_widget_queue_draw(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return has_icon(); }));
        EXPECT_EQ(icon(), "utilities-terminal");
        EXPECT_GT(draws_at_icon, draws_before);
        EXPECT_GT(icon_property_items(), 2u);
}

TEST_F(WindowIconTest, TheLastNameGivenBeforeTheFrameWins)
{
        window_set_icon_name_after_first_frame(window, "edit-copy");
        window_set_icon_name_after_first_frame(window, "utilities-terminal");
        gtk_widget_show(GTK_WIDGET(window));
        ASSERT_TRUE(iterate_until([&] { return has_icon(); }));
        EXPECT_EQ(icon(), "utilities-terminal");
        // Later frames change nothing.
        for (int i = 0; i < 3; ++i) {
                auto before = draws;
                gtk_widget_queue_draw(GTK_WIDGET(window));
                ASSERT_TRUE(iterate_until([&] { return draws > before; }));
        }
        EXPECT_EQ(icon(), "utilities-terminal");
}

} // namespace
