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

// g_shell_parse_argv builds every argument char by char and unquotes it
// again, which dominates loading a long open-with group. Commands made of
// plain words, 'single-quoted' text and "double-quoted" text without
// backslashes follow simple rules: blanks separate arguments, quotes are
// dropped, everything else is literal. Backslashes, newlines, comments and
// unterminated quotes have rules (and error texts) of their own, so such a
// command, like one with nothing in it, goes to GLib.
namespace {

enum class CharClass : unsigned char { plain, blank, quote, special };

constexpr auto char_classes = [] {
        std::array<CharClass, 256> classes{};
        classes[' '] = classes['\t'] = CharClass::blank;
        classes['\''] = classes['"'] = CharClass::quote;
        classes['\\'] = classes['\n'] = classes['#'] = classes['\0'] = CharClass::special;
        return classes;
}();

// Appends the argument that starts at `pos` to `argv` and moves `pos` to
// its end; false when the rules above do not cover it.
bool append_argument(std::string_view command, size_t& pos, std::vector<std::string>& argv)
{
        // Built piece by piece only once a quote turns up.
        std::string* pieces = nullptr;
        auto run = pos;
        auto i = pos;
        for (; i < command.size(); ++i) {
                auto c = command[i];
                auto kind = char_classes[static_cast<unsigned char>(c)];
                if (kind == CharClass::plain)
                        continue;
                if (kind == CharClass::blank)
                        break;
                if (kind == CharClass::special) {
                        // A '#' inside a word is literal; one that starts a
                        // word after a space, or the command, starts a comment.
                        if (c == '#' && i > 0 && command[i - 1] != ' ')
                                continue;
                        return false;
                }
                auto close = command.find(c, i + 1);
                if (close == std::string_view::npos)
                        return false;
                auto quoted = command.substr(i + 1, close - i - 1);
                if (quoted.find('\0') != std::string_view::npos ||
                    (c == '"' && quoted.find('\\') != std::string_view::npos))
                        return false;
                if (!pieces)
                        pieces = &argv.emplace_back();
                pieces->append(command.substr(run, i - run)).append(quoted);
                i = close;
                run = close + 1;
        }
        if (pieces)
                pieces->append(command.substr(run, i - run));
        else
                argv.emplace_back(command.substr(run, i - run));
        pos = i;
        return true;
}

std::optional<std::vector<std::string>> split_simple(std::string_view command)
{
        std::vector<std::string> argv;
        // Enough for the usual "program --option %" without growing.
        argv.reserve(4);
        for (size_t pos = 0; pos < command.size();) {
                if (char_classes[static_cast<unsigned char>(command[pos])] == CharClass::blank)
                        ++pos;
                else if (!append_argument(command, pos, argv))
                        return std::nullopt;
        }
        if (argv.empty())
                return std::nullopt;
        return argv;
}

} // namespace

std::optional<std::vector<std::string>> shell_split(std::string_view command,
                                                    GError** error)
{
        if (auto argv = split_simple(command))
                return argv;

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
bool readable_label(const char* label)
{
        if (!g_utf8_validate(label, -1, nullptr))
                return false;
        for (auto p = label; *p; p = g_utf8_next_char(p))
                if (!g_unichar_isgraph(g_utf8_get_char(p)))
                        return false;
        return true;
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
                shown += unicode && readable_label(unicode.get()) ? unicode.get() : label;
                if (end == std::string_view::npos)
                        return shown;
                shown += '.';
                start = end + 1;
        }
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
        auto text = std::string{
            unescaped && g_utf8_validate(unescaped.get(), -1, nullptr)
                ? unescaped.get()
                : CharPtr{g_utf8_make_valid(uri, -1)}.get()};

        constexpr std::array schemes{"ftp://", "gopher://", "http://",
                                     "https://", "rtmp://"};
        auto has_scheme = false;
        for (auto scheme : schemes)
                if (std::string_view{text}.starts_with(scheme))
                        has_scheme = true;
        if (!has_scheme)
                return text;

        // The host runs from just behind "//" to the next slash, so user
        // information and a port stay part of it.
        auto start = text.find('/') + 2;
        auto end = text.find('/', start);
        if (end == std::string::npos)
                end = text.size();
        auto host = text.substr(start, end - start);

        auto shown = readable_host(host);
        if (shown == host)
                return text;
        return text.substr(0, start) + shown + text.substr(end);
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
