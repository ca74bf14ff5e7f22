// SPDX-License-Identifier: BSD-2-Clause
// The parts of key, wheel and drop handling that need no widget: the zoom
// steps and their limits, the wheel's accumulated deltas, and the text a
// dropped URI list pastes.
#pragma once

#include <string>

// Each zoom step multiplies or divides the font scale by this factor.
inline constexpr double zoom_factor = 1.2;
// 1.2 to the power -7 and 7: seven steps either way from 1.0. The largest
// is one unit in the last place below seven multiplications by 1.2, so the
// seventh step in lands on the limit instead of just above it.
inline constexpr double zoom_scale_min = 0.2790816472336535;
inline constexpr double zoom_scale_max = 3.583180799999999;
inline constexpr double zoom_scale_reset = 1.0;
// A wheel zooms once its deltas add up to this much either way.
inline constexpr double wheel_zoom_threshold = 1.0;

enum class ZoomStep { none, in, out };

// `scale` brought within the zoom limits.
double limit_zoom_scale(double scale);

// The font scale one step in or out from `scale`, within the limits.
double zoom_scale_step(double scale, ZoomStep step);

// Adds a wheel's vertical delta to `accumulator`; once the sum reaches the
// threshold, empties it and says which way to zoom (wheel up zooms in).
// One event never makes more than one step.
ZoomStep accumulate_wheel_delta(double& accumulator, double delta_y);

// What dropping `uris` (a NULL-terminated list, or none) pastes: local
// paths quoted for the shell, other URIs as they are, one space apart.
std::string dropped_uris_text(const char* const* uris);
