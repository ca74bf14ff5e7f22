// SPDX-License-Identifier: BSD-2-Clause
#include "input-logic.hh"

#include "utils.hh"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

double limit_zoom_scale(double scale)
{
        if (scale > zoom_scale_max)
                return zoom_scale_max;
        return std::max(zoom_scale_min, scale);
}

double zoom_scale_step(double scale, ZoomStep step)
{
        switch (step) {
        case ZoomStep::in:
                return limit_zoom_scale(scale * zoom_factor);
        case ZoomStep::out:
                return limit_zoom_scale(scale / zoom_factor);
        case ZoomStep::none:
                break;
        }
        return scale;
}

ZoomStep accumulate_wheel_delta(double& accumulator, double delta_y)
{
        accumulator += delta_y;
        if (std::fabs(accumulator) < wheel_zoom_threshold)
                return ZoomStep::none;
        auto step = accumulator < 0.0 ? ZoomStep::in : ZoomStep::out;
        accumulator = 0.0;
        return step;
}

static constexpr std::string_view file_scheme = "file://";

// A file URI's path, unescaped byte for byte and quoted so that a shell
// reads it back as one word and runs nothing in it; nothing when the
// escapes are broken.
static std::optional<std::string> quoted_file_path(const char* uri)
{
        auto path = CharPtr{g_uri_unescape_string(uri + file_scheme.size(), nullptr)};
        if (!path)
                return std::nullopt;
        return std::string{CharPtr{g_shell_quote(path.get())}.get()};
}

// Other schemes name no local file: they are pasted as they are.
static std::optional<std::string> dropped_item(const char* uri)
{
        if (std::string_view{uri}.starts_with(file_scheme))
                return quoted_file_path(uri);
        return std::string{uri};
}

std::string dropped_uris_text(const char* const* uris)
{
        std::string text;
        for (auto uri = uris; uri && *uri; ++uri) {
                if (**uri == '\0')
                        continue;
                auto item = dropped_item(*uri);
                if (!item)
                        continue;
                text += ' ';
                text += *item;
        }
        auto trimmed = CharPtr{g_strdup(text.c_str())};
        return g_strchomp(g_strchug(trimmed.get()));
}
