// SPDX-License-Identifier: BSD-2-Clause
#include "window-icon.hh"

#include "first-frame.hh"
#include "heap.hh"
#include "utils.hh"

#include <algorithm>
#include <vector>

static constexpr const char* pending_icon_key = "brackenfold-pending-icon-name";
// The name of the icon the window shows, once it has one.
static constexpr const char* icon_name_key = "brackenfold-icon-name";

// By type, not by sniffing the data: that would read the desktop's MIME
// database first (and keep it: a few hundred KiB), and fail where there is
// none.
static RefPtr<GdkPixbuf> decode_png(GBytes* png, GError** error) noexcept
{
        auto loader = take_ref(gdk_pixbuf_loader_new_with_type("png", error));
        if (!loader)
                return nullptr;
        gsize size = 0;
        auto data = static_cast<const guchar*>(g_bytes_get_data(png, &size));
        auto written = gdk_pixbuf_loader_write(loader.get(), data, size, error);
        // A loader must be closed, even after a failed write.
        auto closed = gdk_pixbuf_loader_close(loader.get(), written ? error : nullptr);
        if (!written || !closed)
                return nullptr;
        return share_ref(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

static RefPtr<GdkPixbuf> load_own_icon(GError** error) noexcept
{
        auto png = BytesPtr{
            g_resources_lookup_data(own_icon_resource, G_RESOURCE_LOOKUP_FLAGS_NONE, error)};
        return png ? decode_png(png.get(), error) : nullptr;
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

// A theme of the window's own for its one question, looking where the
// screen's theme looks. The screen's theme, once asked, stays loaded for
// the life of the process (its index, its directories, GTK's built-in
// icons: 1.9-2.1 MiB), and nothing else in the window needs it until a
// bar or a menu shows an icon of its own.
static RefPtr<GtkIconTheme> theme_for_one_question(GdkScreen* screen) noexcept
{
        auto theme = take_ref(gtk_icon_theme_new());
        gtk_icon_theme_set_screen(theme.get(), screen);
        char** path = nullptr;
        int length = 0;
        gtk_icon_theme_get_search_path(gtk_icon_theme_get_for_screen(screen), &path, &length);
        auto owned_path = StrvPtr{path};
        gtk_icon_theme_set_search_path(theme.get(), const_cast<const char**>(path), length);
        return theme;
}

static RefPtr<GdkPixbuf> read_png(const char* file) noexcept
{
        char* contents = nullptr;
        gsize length = 0;
        if (!g_file_get_contents(file, &contents, &length, nullptr))
                return nullptr;
        auto png = BytesPtr{g_bytes_new_take(contents, length)};
        return decode_png(png.get(), nullptr);
}

// One themed icon at `size` pixels, as GTK would load it. A PNG file is
// read by type (see decode_png); anything else (SVG, GTK's own icons) GTK
// loads itself.
static RefPtr<GdkPixbuf> load_themed_icon(GtkIconTheme* theme, const char* name, int size,
                                          GError** error) noexcept
{
        auto info = take_ref(gtk_icon_theme_lookup_icon(theme, name, size, GtkIconLookupFlags(0)));
        if (!info) {
                g_set_error(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not in the theme");
                return nullptr;
        }
        auto file = gtk_icon_info_get_filename(info.get());
        auto icon = file && g_str_has_suffix(file, ".png") ? read_png(file) : nullptr;
        // Not a PNG, or not one after all: GTK finds out what it is.
        if (!icon)
                return take_ref(gtk_icon_info_load_icon(info.get(), error));
        if (gdk_pixbuf_get_width(icon.get()) == size)
                return icon;
        // A file from a directory of another size: scaled as GTK would.
        auto width = gdk_pixbuf_get_width(icon.get());
        auto height = gdk_pixbuf_get_height(icon.get());
        return take_ref(gdk_pixbuf_scale_simple(icon.get(), size,
                                                std::max(1, height * size / std::max(1, width)),
                                                GDK_INTERP_BILINEAR));
}

// The icons GTK itself gives a window of a themed icon name: one for every
// size the theme has it in, a scalable one drawn at 48 pixels.
static std::vector<RefPtr<GdkPixbuf>> themed_icons(GtkIconTheme* theme, const char* name) noexcept
{
        std::vector<RefPtr<GdkPixbuf>> icons;
        auto sizes = Owned<gint, g_free>{gtk_icon_theme_get_icon_sizes(theme, name)};
        for (auto size = sizes.get(); size && *size; ++size) {
                auto pixels = *size == -1 ? own_icon_size : *size;
                Error error;
                if (auto icon = load_themed_icon(theme, name, pixels, error.out()))
                        icons.push_back(std::move(icon));
                else
                        warning(CharPtr{g_strdup_printf("cannot load the icon '%s' at %d pixels: %s",
                                                        name, pixels, error.message())}.get());
        }
        return icons;
}

static void set_icon_list(GtkWindow* window, const std::vector<RefPtr<GdkPixbuf>>& icons) noexcept
{
        auto list = Owned<GList, g_list_free>{};
        for (auto it = icons.rbegin(); it != icons.rend(); ++it)
                list.reset(g_list_prepend(list.release(), it->get()));
        gtk_window_set_icon_list(window, list.get());
}

static void set_icon(GtkWindow* window, const char* name) noexcept;

// The window to give an icon once the main loop is idle, unless it is gone
// by then.
class IdleIcon {
public:
        IdleIcon(GtkWindow* window, CharPtr name) : m_window{window}, m_name{std::move(name)} {}

        void set() noexcept
        {
                if (auto window = m_window.get())
                        set_icon(window.get(), m_name.get());
        }

private:
        WeakRef<GtkWindow> m_window;
        CharPtr m_name;
};

static void set_icon_when_idle(GtkWindow* window, CharPtr name) noexcept
{
        g_idle_add_full(
            G_PRIORITY_LOW,
            +[](gpointer icon) noexcept {
                    static_cast<IdleIcon*>(icon)->set();
                    return G_SOURCE_REMOVE;
            },
            new IdleIcon{window, std::move(name)},
            +[](gpointer icon) noexcept { delete static_cast<IdleIcon*>(icon); });
}

static void icon_theme_changed(GtkSettings*, GParamSpec*, GtkWindow* window) noexcept
{
        auto name = static_cast<const char*>(g_object_get_data(G_OBJECT(window), icon_name_key));
        if (name)
                set_icon_when_idle(window, CharPtr{g_strdup(name)});
}

// GTK follows a change of icon theme only for an icon name it holds; these
// icons came from a theme that is gone, so the window asks again itself.
static void follow_icon_theme(GtkWindow* window, const char* name) noexcept
{
        auto following = g_object_get_data(G_OBJECT(window), icon_name_key) != nullptr;
        g_object_set_data_full(G_OBJECT(window), icon_name_key, g_strdup(name), g_free);
        if (!following)
                g_signal_connect_object(
                    gtk_settings_get_for_screen(gtk_window_get_screen(window)),
                    "notify::gtk-icon-theme-name", G_CALLBACK(icon_theme_changed), window,
                    GConnectFlags(0));
}

static void set_icon(GtkWindow* window, const char* name) noexcept
{
        auto icons = themed_icons(
            theme_for_one_question(gtk_window_get_screen(window)).get(), name);
        if (icons.empty())
                set_own_icon(window);
        else
                set_icon_list(window, icons);
        // The theme is gone; what it held goes back to the system.
        give_back_free_heap();
        follow_icon_theme(window, name);
}

// Whatever came with the first frame went first: the shell's first prompt,
// or the end of a command that is already over (the window may then close
// before it loads an icon theme at all).
static void set_pending_icon(GtkWidget* window) noexcept
{
        auto name = CharPtr{static_cast<char*>(
            g_object_steal_data(G_OBJECT(window), pending_icon_key))};
        if (name)
                set_icon(GTK_WINDOW(window), name.get());
}

void window_set_icon_name_after_first_frame(GtkWindow* window, const char* name)
{
        g_return_if_fail(GTK_IS_WINDOW(window));
        g_return_if_fail(name != NULL);

        auto pending = g_object_get_data(G_OBJECT(window), pending_icon_key) != nullptr;
        g_object_set_data_full(G_OBJECT(window), pending_icon_key, g_strdup(name), g_free);
        if (!pending)
                after_first_frame(GTK_WIDGET(window), set_pending_icon);
}
