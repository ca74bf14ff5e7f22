#include "window-icon.hh"

#include "utils.hh"

static constexpr const char* pending_icon_key = "brackenfold-pending-icon-name";

static void set_pending_icon(GdkFrameClock* clock, GtkWindow* window) noexcept
{
        // Only our handler: GTK keeps handlers of its own on the clock with
        // the window as their data.
        g_signal_handlers_disconnect_by_func(clock, (gpointer)set_pending_icon, window);
        auto name = CharPtr{static_cast<char*>(
            g_object_steal_data(G_OBJECT(window), pending_icon_key))};
        if (name)
                gtk_window_set_icon_name(window, name.get());
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
