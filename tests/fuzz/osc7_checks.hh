// SPDX-License-Identifier: BSD-2-Clause
// What must hold of a directory the terminal believes an OSC 7 report
// names, whatever the program in the terminal wrote: it exists, it is a
// directory, and it is given in its resolved form. Shared by the OSC 7
// fuzzer and the unit tests that replay its corpus.
#pragma once

#include "utils.hh"

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace osc7_checks {

// Reports name this host; a fixed name keeps the corpus the same on every
// machine.
inline constexpr const char* hostname = "fuzz.example";

// `report` as the terminal stores it: the text up to the first NUL,
// parsed as an encoded file: URI, or nothing at all.
inline UriPtr parsed_report(std::string_view report)
{
        auto text = std::string{report.substr(0, report.find('\0'))};
        auto uri = UriPtr{g_uri_parse(text.c_str(), G_URI_FLAGS_ENCODED, nullptr)};
        if (!uri || g_strcmp0(g_uri_get_scheme(uri.get()), "file") != 0)
                return nullptr;
        return uri;
}

inline std::optional<std::string> report_fault(std::string_view report)
{
        auto uri = parsed_report(report);
        if (!uri)
                return std::nullopt;
        auto directory = Utils::trusted_directory(uri.get(), hostname);
        if (!directory)
                return std::nullopt;
        auto const& path = *directory;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
                return "trusted \"" + path + "\", which does not exist";
        if (!S_ISDIR(st.st_mode))
                return "trusted \"" + path + "\", which is no directory";
        auto resolved = Owned<char, ::free>{realpath(path.c_str(), nullptr)};
        if (!resolved || path != resolved.get())
                return "trusted \"" + path + "\", not in its resolved form \"" +
                       (resolved ? resolved.get() : "") + "\"";
        return std::nullopt;
}

} // namespace osc7_checks
