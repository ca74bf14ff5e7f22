// SPDX-License-Identifier: BSD-2-Clause
#include "utils.hh"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdio>
#include <string_view>
#include <utility>

std::optional<std::string> optional_string(const char* text)
{
        if (!text)
                return std::nullopt;
        return std::string{text};
}

std::vector<std::string> strv_to_vector(const char* const* strv)
{
        std::vector<std::string> v;
        for (auto p = strv; p && *p; ++p)
                v.emplace_back(*p);
        return v;
}

std::vector<char*> vector_to_argv(const std::vector<std::string>& v)
{
        std::vector<char*> argv;
        argv.reserve(v.size() + 1);
        for (auto const& s : v)
                argv.push_back(const_cast<char*>(s.c_str()));
        argv.push_back(nullptr);
        return argv;
}

std::optional<std::vector<std::string>> shell_split(std::string_view command,
                                                    GError** error)
{
        char** argv = nullptr;
        if (!g_shell_parse_argv(std::string{command}.c_str(), nullptr, &argv, error))
                return std::nullopt;
        return strv_to_vector(StrvPtr{argv}.get());
}

std::string escape_markup(std::string_view text)
{
        // Plain ASCII, the common case, is escaped here; anything else goes
        // through GLib, which also writes control characters as references.
        std::string escaped;
        escaped.reserve(text.size());
        for (unsigned char c : text) {
                switch (c) {
                case '&': escaped += "&amp;"; break;
                case '<': escaped += "&lt;"; break;
                case '>': escaped += "&gt;"; break;
                case '\'': escaped += "&apos;"; break;
                case '"': escaped += "&quot;"; break;
                default:
                        if (c >= 0x7f || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) {
                                auto valid = CharPtr{
                                    g_utf8_make_valid(text.data(), gssize(text.size()))};
                                return CharPtr{g_markup_escape_text(valid.get(), -1)}.get();
                        }
                        escaped += char(c);
                }
        }
        return escaped;
}

std::string abbreviate(std::string_view text, size_t max_chars)
{
        // No character takes less than a byte.
        if (text.size() <= max_chars)
                return std::string{text};
        size_t chars = 0;
        for (size_t i = 0; i < text.size(); ++i) {
                // Every byte but a continuation byte starts a character.
                if ((static_cast<unsigned char>(text[i]) & 0xc0) == 0x80)
                        continue;
                if (chars++ == max_chars)
                        return std::string{text.substr(0, i)} + "…";
        }
        return std::string{text};
}

void warning(const char* message)
{
        g_return_if_fail(message != NULL);
        // One write for the whole line, however many warnings come.
        auto line = std::string{"brackenfold: "}.append(message).append("\n");
        std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string Utils::get_shell()
{
        if (auto shell = g_getenv("SHELL"); shell && *shell)
                return shell;
        if (auto pw = getpwuid(getuid()); pw && pw->pw_shell && *pw->pw_shell)
                return pw->pw_shell;
        return "/bin/sh";
}

namespace {

// Shown in Unicode only when that is text a person can read: GLib's
// conversion can yield bytes that are not UTF-8 (GTK then refuses the
// tooltip and keeps showing the previous link's) or invisible characters
// such as direction overrides, which would reorder what the tooltip shows.
// Nor may it hold a character that ends a host where a person reads the
// link: xn--bch@r-kva decodes to "büch@r", which would show "r.de" as the
// host of a link to r-kva.de.
bool readable_label(const char* label)
{
        if (!g_utf8_validate(label, -1, nullptr))
                return false;
        constexpr std::string_view delimiters = "@:/?#[]\\";
        for (auto p = label; *p; p = g_utf8_next_char(p)) {
                auto c = g_utf8_get_char(p);
                if (!g_unichar_isgraph(c) || (c < 0x80 && delimiters.find(char(c)) !=
                                                             std::string_view::npos))
                        return false;
        }
        return true;
}

// A label's Unicode form names the same host only when it converts back to
// the label: an empty "xn--" label decodes to nothing, which would hide it.
bool names_label(const char* unicode, const std::string& label)
{
        auto ascii = CharPtr{g_hostname_to_ascii(unicode)};
        return ascii && g_ascii_strcasecmp(ascii.get(), label.c_str()) == 0;
}

// Each label on its own, so that one that cannot be shown in Unicode stays
// as written without hiding the others.
std::string readable_host(std::string_view host)
{
        std::string shown;
        for (size_t start = 0;;) {
                auto end = host.find('.', start);
                auto label = std::string{host.substr(start, end - start)};
                auto unicode = CharPtr{g_hostname_to_unicode(label.c_str())};
                shown += unicode && readable_label(unicode.get()) &&
                                 names_label(unicode.get(), label)
                             ? unicode.get()
                             : label;
                if (end == std::string_view::npos)
                        return shown;
                shown += '.';
                start = end + 1;
        }
}

// Where the authority (user information, host and port) of "scheme://..."
// begins and ends: behind "//", up to the first "/", "?" or "#".
std::optional<std::pair<size_t, size_t>> authority_of(std::string_view link)
{
        auto separator = link.find("://");
        if (separator == std::string_view::npos || separator == 0 || !g_ascii_isalpha(link[0]))
                return std::nullopt;
        for (auto c : link.substr(0, separator))
                if (!g_ascii_isalnum(c) && c != '+' && c != '-' && c != '.')
                        return std::nullopt;
        auto start = separator + 3;
        return std::pair{start, std::min(link.find_first_of("/?#", start), link.size())};
}

} // namespace

std::optional<std::string> Utils::display_uri(const char* uri)
{
        if (!uri)
                return std::nullopt;

        // Escapes may decode to bytes that are not UTF-8: GLib's host
        // conversion would then read past the end of the text, and GTK would
        // refuse the tooltip and keep showing the previous link's. Such a
        // link is shown as it was written.
        auto unescaped = CharPtr{g_uri_unescape_string(uri, nullptr)};
        auto decodes = unescaped && g_utf8_validate(unescaped.get(), -1, nullptr);
        auto readable = [decodes](std::string_view raw) {
                auto part = std::string{raw};
                if (decodes)
                        if (auto text = CharPtr{g_uri_unescape_string(part.c_str(), nullptr)})
                                return std::string{text.get()};
                return std::string{CharPtr{g_utf8_make_valid(part.c_str(), -1)}.get()};
        };

        auto link = std::string_view{uri};
        auto authority = authority_of(link);
        if (!authority)
                return readable(link);

        // The authority stays as written: decoded, an escaped "/", "?", "#"
        // or "@" would make another host the one a person reads.
        auto [start, end] = *authority;
        auto written = std::string{
            CharPtr{g_utf8_make_valid(link.data() + start, gssize(end - start))}.get()};
        constexpr std::array schemes{"ftp://", "gopher://", "http://",
                                     "https://", "rtmp://"};
        auto has_scheme = false;
        for (auto scheme : schemes)
                if (link.starts_with(scheme))
                        has_scheme = true;
        return std::string{link.substr(0, start)} +
               (has_scheme ? readable_host(written) : written) + readable(link.substr(end));
}

namespace {

// The path of a report of `hostname`, unescaped where the report is.
std::optional<std::string> reported_path(GUri* report, const char* hostname)
{
        auto path = optional_string(g_uri_get_path(report));
        auto host = optional_string(g_uri_get_host(report));
        auto flags = g_uri_get_flags(report);
        if (flags & G_URI_FLAGS_ENCODED) {
                if (path)
                        path = optional_string(CharPtr{
                            g_uri_unescape_string(path->c_str(), nullptr)}.get());
                if ((flags & G_URI_FLAGS_NON_DNS) && host)
                        host = optional_string(CharPtr{
                            g_uri_unescape_string(host->c_str(), nullptr)}.get());
        }
        if (host && *host == hostname && path)
                return path;
        return std::nullopt;
}

// `path` with every link, ".", ".." and extra slash resolved, if that is an
// existing directory. "/etc/passwd/" names no directory: stat() fails with
// ENOTDIR, yet GIO drops the slash and opens the file. Resolving first
// leaves nothing for a later step to reinterpret.
std::optional<std::string> existing_directory(const std::string& path)
{
        if (!g_path_is_absolute(path.c_str()))
                return std::nullopt;
        auto resolved = MallocPtr{realpath(path.c_str(), nullptr)};
        struct stat status;
        if (!resolved || stat(resolved.get(), &status) != 0 || !S_ISDIR(status.st_mode))
                return std::nullopt;
        return std::string{resolved.get()};
}

} // namespace

std::optional<std::string> Utils::trusted_directory(GUri* report, const char* hostname)
{
        g_return_val_if_fail(report != NULL, std::nullopt);
        g_return_val_if_fail(hostname != NULL, std::nullopt);
        auto path = reported_path(report, hostname);
        if (!path)
                return std::nullopt;
        return existing_directory(*path);
}
