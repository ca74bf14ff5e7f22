// SPDX-License-Identifier: BSD-2-Clause
// Build tool: draws the program's SVG icon as a square PNG of a given size,
// so that the program itself shows its icon without loading an SVG
// renderer.
#include "utils.hh"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
        if (argc != 4) {
                std::fprintf(stderr, "usage: %s SVG SIZE PNG\n", argv[0]);
                return 2;
        }
        auto size = std::atoi(argv[2]);
        Error error;
        auto icon = take_ref(
            gdk_pixbuf_new_from_file_at_scale(argv[1], size, size, true, error.out()));
        if (!icon || !gdk_pixbuf_save(icon.get(), argv[3], "png", error.out(), nullptr)) {
                std::fprintf(stderr, "%s: cannot draw %s: %s\n", argv[0], argv[1],
                             error.message());
                return 1;
        }
        return 0;
}
