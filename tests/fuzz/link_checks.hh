// SPDX-License-Identifier: BSD-2-Clause
// What must hold of a link's tooltip and of a drop's paste whatever bytes
// the program in the terminal or the dragging application chose. Shared by
// the link fuzzer and the unit tests that replay its corpus; each check
// names the rule an input broke, or gives nothing.
#pragma once

#include "input-logic.hh"
#include "utils.hh"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace link_checks {

// A host as written, in the one form that its spellings share: brackets of
// an address dropped, each internationalised label in its ASCII form, lower
// case, without the trailing dots of the root. Escapes stay: a tooltip that
// shows one decoded shows another text than the link's.
inline std::string comparable_host(std::string host)
{
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
                host = host.substr(1, host.size() - 2);
        while (host.ends_with('.'))
                host.pop_back();
        // Label by label: one that has no ASCII form leaves the others theirs.
        std::string comparable;
        for (size_t start = 0;;) {
                auto end = host.find('.', start);
                auto label = host.substr(start, end - start);
                auto ascii = CharPtr{g_hostname_to_ascii(label.c_str())};
                comparable += CharPtr{g_ascii_strdown(ascii ? ascii.get() : label.c_str(), -1)}.get();
                if (end == std::string::npos)
                        return comparable;
                comparable += '.';
                start = end + 1;
        }
}

// The host a person reads in `text`, a link of `scheme`: behind "scheme://"
// up to the first "/", "?" or "#", without user information and port.
inline std::optional<std::string> shown_host(std::string_view text, std::string_view scheme)
{
        auto prefix = std::string{scheme} + "://";
        if (text.size() < prefix.size() ||
            g_ascii_strncasecmp(text.data(), prefix.c_str(), prefix.size()) != 0)
                return std::nullopt;
        auto authority = text.substr(prefix.size());
        authority = authority.substr(0, authority.find_first_of("/?#"));
        if (auto at = authority.rfind('@'); at != std::string_view::npos)
                authority.remove_prefix(at + 1);
        if (auto close = authority.find(']');
            authority.starts_with('[') && close != std::string_view::npos)
                return std::string{authority.substr(0, close + 1)};
        if (auto colon = authority.rfind(':'); colon != std::string_view::npos) {
                auto port = authority.substr(colon + 1);
                if (std::ranges::all_of(port, [](char c) { return g_ascii_isdigit(c); }))
                        authority = authority.substr(0, colon);
        }
        return std::string{authority};
}

// The tooltip of a hyperlink to `link` is valid UTF-8 (GTK keeps the
// previous link's tooltip otherwise) and names the host a click opens.
inline std::optional<std::string> tooltip_fault(const std::string& link)
{
        auto text = Utils::display_uri(link.c_str());
        if (!text)
                return "no tooltip for a link";
        if (!g_utf8_validate(text->c_str(), gssize(text->size()), nullptr))
                return "tooltip is not UTF-8: " + *text;
        // Only a link that GLib reads as having a host. Its host as written
        // is taken by the same rule as the tooltip's: GLib ends the user
        // information at the first "@" where browsers, like readers, take
        // the last, and it writes raw bytes as escapes.
        auto uri = UriPtr{g_uri_parse(link.c_str(), GUriFlags(G_URI_FLAGS_ENCODED |
                                                              G_URI_FLAGS_NON_DNS),
                                      nullptr)};
        if (!uri || !g_uri_get_host(uri.get()) || !*g_uri_get_host(uri.get()))
                return std::nullopt;
        auto host = shown_host(link, g_uri_get_scheme(uri.get()));
        // Raw bytes that are not UTF-8 cannot be shown as written: for such
        // a host only the rule above holds.
        if (!host || !g_utf8_validate(host->c_str(), gssize(host->size()), nullptr))
                return std::nullopt;
        auto shown = shown_host(*text, g_uri_get_scheme(uri.get()));
        if (!shown)
                return "tooltip \"" + *text + "\" does not start with the link's scheme";
        if (comparable_host(*shown) != comparable_host(*host))
                return "tooltip \"" + *text + "\" shows host \"" + *shown +
                       "\", the link names \"" + *host + "\"";
        return std::nullopt;
}

// Dropping files of these names pastes each of them back as exactly one
// shell word, in order. Names that are not absolute are taken below "/".
inline std::optional<std::string> drop_fault(const std::vector<std::string>& names)
{
        std::vector<std::string> paths;
        std::vector<std::string> uris;
        for (auto const& name : names) {
                auto path = name.starts_with('/') ? name : "/" + name;
                Error error;
                auto uri = CharPtr{g_filename_to_uri(path.c_str(), nullptr, error.out())};
                if (!uri)
                        return "no URI for \"" + path + "\": " + error.message();
                paths.push_back(path);
                uris.emplace_back(uri.get());
        }
        auto text = dropped_uris_text(vector_to_argv(uris).data());
        if (paths.empty())
                return text.empty() ? std::nullopt
                                    : std::optional<std::string>{"pasted \"" + text +
                                                                 "\" for no file"};
        char** words = nullptr;
        Error error;
        if (!g_shell_parse_argv(text.c_str(), nullptr, &words, error.out()))
                return "pasted \"" + text + "\" is no shell text: " + error.message();
        if (strv_to_vector(StrvPtr{words}.get()) != paths)
                return "pasted \"" + text + "\" does not give back the dropped paths";
        return std::nullopt;
}

// An input of the link fuzzer: the bytes up to the first NUL are the link,
// and every non-empty NUL-separated piece is the name of a dropped file.
inline std::optional<std::string> input_fault(std::string_view input)
{
        std::vector<std::string> pieces;
        for (size_t start = 0; start <= input.size();) {
                auto end = std::min(input.find('\0', start), input.size());
                pieces.emplace_back(input.substr(start, end - start));
                start = end + 1;
        }
        if (auto fault = tooltip_fault(pieces.front()))
                return fault;
        std::erase(pieces, std::string{});
        return drop_fault(pieces);
}

} // namespace link_checks
