// SPDX-License-Identifier: BSD-2-Clause
// The one place that knows which VTE release we are built against.
//
// VTE 0.78 moved the window title and the current-directory URI into
// terminal properties; older releases only have the dedicated getters.
// VTE 0.76 deprecated reading the text with attributes for one call that
// reads it in a format.
#pragma once

#include "utils.hh"

#include <vte/vte.h>

#include <optional>
#include <string>

// The directory the shell reported with OSC 7, as a parsed file: URI, or
// nothing when none was reported.
UriPtr vte_compat_current_directory_uri(VteTerminal* vte);

// The title the running program set, or nothing.
std::optional<std::string> vte_compat_window_title(VteTerminal* vte);

// The text of the screen and the scrollback, plain.
CharPtr vte_compat_text(VteTerminal* vte);
