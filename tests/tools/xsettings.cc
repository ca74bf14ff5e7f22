// SPDX-License-Identifier: BSD-2-Clause
// xsettings DPI: the desktop's settings daemon, reduced to one setting.
// Takes over screen 0's XSETTINGS manager selection, offers Xft/DPI (in
// 1024ths of a dot per inch, as a desktop's scaling slider sets it) and
// serves it until another manager takes the selection over, which is how a
// test changes the resolution: by starting another one.
#include <X11/Xlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void put32(std::string& out, uint32_t value)
{
        out.append(reinterpret_cast<const char*>(&value), 4);
}

// The property's layout: byte order, three pad bytes, serial, count, then
// for each setting its type (0: integer), a pad byte, the name's length,
// the name padded to four bytes, its last change's serial and the value.
std::string settings(uint32_t serial, int32_t dpi)
{
        std::string name = "Xft/DPI";
        std::string out;
        uint16_t one = 1;
        out.push_back(*reinterpret_cast<const char*>(&one) == 1 ? LSBFirst : MSBFirst);
        out.append(3, '\0');
        put32(out, serial);
        put32(out, 1);
        out.push_back(0);
        out.push_back(0);
        auto length = uint16_t(name.size());
        out.append(reinterpret_cast<const char*>(&length), 2);
        out += name;
        out.append((4 - name.size() % 4) % 4, '\0');
        put32(out, serial);
        put32(out, uint32_t(dpi));
        return out;
}

} // namespace

int main(int argc, char** argv)
{
        if (argc != 2) {
                std::fprintf(stderr, "usage: xsettings DPI-IN-1024THS\n");
                return 2;
        }
        auto dpi = int32_t(std::strtol(argv[1], nullptr, 10));
        auto display = XOpenDisplay(nullptr);
        if (!display) {
                std::fprintf(stderr, "xsettings: cannot open display\n");
                return 1;
        }
        auto root = DefaultRootWindow(display);
        auto selection = XInternAtom(display, "_XSETTINGS_S0", False);
        auto property = XInternAtom(display, "_XSETTINGS_SETTINGS", False);
        auto manager = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);

        // The settings are on the window before it owns the selection, so
        // a client never finds the new manager without them.
        auto data = settings(uint32_t(dpi), dpi);
        XChangeProperty(display, manager, property, property, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
        XSetSelectionOwner(display, selection, manager, CurrentTime);
        if (XGetSelectionOwner(display, selection) != manager) {
                std::fprintf(stderr, "xsettings: could not take the manager selection\n");
                return 1;
        }
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = root;
        event.xclient.message_type = XInternAtom(display, "MANAGER", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = CurrentTime;
        event.xclient.data.l[1] = long(selection);
        event.xclient.data.l[2] = long(manager);
        XSendEvent(display, root, False, StructureNotifyMask, &event);
        XSync(display, False);

        // Served until the selection goes to the next manager.
        for (;;) {
                XNextEvent(display, &event);
                if (event.type == SelectionClear && event.xselectionclear.selection == selection)
                        break;
        }
        XDestroyWindow(display, manager);
        XCloseDisplay(display);
        return 0;
}
