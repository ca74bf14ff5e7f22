// SPDX-License-Identifier: BSD-2-Clause
#include "window-icon.hh"

#include "utils.hh"

static constexpr const char* pending_icon_key = "brackenfold-pending-icon-name";

// By type, not by sniffing the data: that would read the desktop's MIME
// database first, and fail where there is none.
static RefPtr<GdkPixbuf> load_own_icon(GError** error) noexcept
{
        auto png = BytesPtr{
            g_resources_lookup_data(own_icon_resource, G_RESOURCE_LOOKUP_FLAGS_NONE, error)};
        if (!png)
                return nullptr;
        auto loader = take_ref(gdk_pixbuf_loader_new_with_type("png", error));
        if (!loader)
                return nullptr;
        gsize size = 0;
        auto data = static_cast<const guchar*>(g_bytes_get_data(png.get(), &size));
        auto written = gdk_pixbuf_loader_write(loader.get(), data, size, error);
        // A loader must be closed, even after a failed write.
        auto closed = gdk_pixbuf_loader_close(loader.get(), written ? error : nullptr);
        if (!written || !closed)
                return nullptr;
        return share_ref(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

// Loaded only here, on the theme's miss.
static void set_own_icon(GtkWindow* window) noexcept
{
        Error error;
        auto icon = load_own_icon(error.out());
        if (!icon) {
                warning(CharPtr{g_strdup_printf("cannot load the window's icon: %s",
                                                error.message())}.get());
                return;
        }
        gtk_window_set_icon(window, icon.get());
}

static void set_icon(GtkWindow* window, const char* name) noexcept
{
        auto theme = gtk_icon_theme_get_for_screen(gtk_window_get_screen(window));
        if (gtk_icon_theme_has_icon(theme, name))
                gtk_window_set_icon_name(window, name);
        else
                set_own_icon(window);
}

// The window to give an icon once the main loop is idle, unless it is gone
// by then.
class IdleIcon {
public:
        IdleIcon(GtkWindow* window, CharPtr name) : m_name{std::move(name)}
        {
                g_weak_ref_init(&m_window, window);
        }
        ~IdleIcon() { g_weak_ref_clear(&m_window); }
        IdleIcon(IdleIcon const&) = delete;
        IdleIcon& operator=(IdleIcon const&) = delete;

        void set() noexcept
        {
                auto window = RefPtr<GtkWindow>{static_cast<GtkWindow*>(g_weak_ref_get(&m_window))};
                if (window)
                        set_icon(window.get(), m_name.get());
        }

private:
        GWeakRef m_window;
        CharPtr m_name;
};

static void set_pending_icon(GdkFrameClock* clock, GtkWindow* window) noexcept
{
        // Only our handler: GTK keeps handlers of its own on the clock with
        // the window as their data.
        g_signal_handlers_disconnect_by_func(clock, (gpointer)set_pending_icon, window);
        auto name = CharPtr{static_cast<char*>(
            g_object_steal_data(G_OBJECT(window), pending_icon_key))};
        if (!name)
                return;
        // Whatever came with the first frame goes first: the shell's first
        // prompt, or the end of a command that is already over (the window
        // then closes without ever loading the icon theme).
        g_idle_add_full(
            G_PRIORITY_LOW,
            +[](gpointer icon) noexcept {
                    static_cast<IdleIcon*>(icon)->set();
                    return G_SOURCE_REMOVE;
            },
            new IdleIcon{window, std::move(name)},
            +[](gpointer icon) noexcept { delete static_cast<IdleIcon*>(icon); });
}

// The frame clock exists from the realisation on; its first paint after the
// map is the first frame the user sees.
static void wait_for_first_frame(GtkWidget* window) noexcept
{
        g_signal_handlers_disconnect_by_func(window, (gpointer)wait_for_first_frame, nullptr);
        g_signal_connect_object(gtk_widget_get_frame_clock(window), "after-paint",
                                G_CALLBACK(set_pending_icon), window, GConnectFlags(0));
}

void window_set_icon_name_after_first_frame(GtkWindow* window, const char* name)
{
        g_return_if_fail(GTK_IS_WINDOW(window));
        g_return_if_fail(name != NULL);

        auto pending = g_object_get_data(G_OBJECT(window), pending_icon_key) != nullptr;
        g_object_set_data_full(G_OBJECT(window), pending_icon_key, g_strdup(name), g_free);
        if (pending)
                return;
        if (gtk_widget_get_mapped(GTK_WIDGET(window)))
                wait_for_first_frame(GTK_WIDGET(window));
        else
                g_signal_connect(window, "map", G_CALLBACK(wait_for_first_frame), nullptr);
}
