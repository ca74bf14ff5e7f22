// close-window [--through-wm] WID: asks a window to close the way a window
// manager's close button does, with a WM_DELETE_WINDOW client message; with
// --through-wm, asks the window manager to close it (_NET_CLOSE_WINDOW), as
// a task bar or a pager does.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static XEvent client_message(Display* display, Window window, const char* type,
                             long first, long second)
{
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, type, False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = first;
        event.xclient.data.l[1] = second;
        return event;
}

static void send_delete_window(Display* display, Window window)
{
        auto event = client_message(display, window, "WM_PROTOCOLS",
                                    long(XInternAtom(display, "WM_DELETE_WINDOW", False)),
                                    CurrentTime);
        XSendEvent(display, window, False, NoEventMask, &event);
}

// Addressed to the root window, where the window manager listens; source
// indication 2 says a pager sends it, which window managers always obey.
static void send_net_close_window(Display* display, Window window)
{
        auto event = client_message(display, window, "_NET_CLOSE_WINDOW", CurrentTime, 2);
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

int main(int argc, char** argv)
{
        auto through_wm = argc == 3 && std::strcmp(argv[1], "--through-wm") == 0;
        if (argc != 2 && !through_wm) {
                std::fprintf(stderr, "usage: close-window [--through-wm] WINDOW-ID\n");
                return 2;
        }
        auto display = XOpenDisplay(nullptr);
        if (!display) {
                std::fprintf(stderr, "close-window: cannot open display\n");
                return 1;
        }
        auto window = Window(std::strtoul(argv[argc - 1], nullptr, 0));
        if (through_wm)
                send_net_close_window(display, window);
        else
                send_delete_window(display, window);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
}
