// SPDX-License-Identifier: BSD-2-Clause
// window-state add|remove WID STATE [STATE]: asks the window manager to add
// or remove one or two states of a window (MAXIMIZED_VERT, FULLSCREEN, ...:
// the names after _NET_WM_STATE_), as a title bar's button or a task bar's
// menu does.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
        auto add = argc >= 4 && std::strcmp(argv[1], "add") == 0;
        auto remove = argc >= 4 && std::strcmp(argv[1], "remove") == 0;
        if ((!add && !remove) || argc > 5) {
                std::fprintf(stderr, "usage: window-state add|remove WINDOW-ID STATE [STATE]\n");
                return 2;
        }
        auto display = XOpenDisplay(nullptr);
        if (!display) {
                std::fprintf(stderr, "window-state: cannot open display\n");
                return 1;
        }
        auto state = [display](const char* name) {
                auto atom = "_NET_WM_STATE_" + std::string{name};
                return long(XInternAtom(display, atom.c_str(), False));
        };
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = Window(std::strtoul(argv[2], nullptr, 0));
        event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = add ? 1 : 0;
        event.xclient.data.l[1] = state(argv[3]);
        event.xclient.data.l[2] = argc == 5 ? state(argv[4]) : 0;
        // Source indication 2: a pager, which window managers always obey.
        event.xclient.data.l[3] = 2;
        // To the root window, where the window manager listens.
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XSync(display, False);
        XCloseDisplay(display);
        return 0;
}
