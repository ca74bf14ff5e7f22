#include "utils.hh"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

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
// again, which dominates loading a long open-with group. Without quotes,
// backslashes, comments, tabs or newlines its rules reduce to splitting at
// blanks; anything else, and a blank command with its error, goes to GLib.
static std::optional<std::vector<std::string>> split_at_blanks(std::string_view command)
{
        std::vector<std::string> argv;
        argv.reserve(size_t(std::count(command.begin(), command.end(), ' ')) + 1);
        size_t start = 0;
        for (size_t i = 0; i <= command.size(); ++i) {
                auto c = i < command.size() ? command[i] : ' ';
                switch (c) {
                case '\'':
                case '"':
                case '\\':
                case '#':
                case '\t':
                case '\n':
                        return std::nullopt;
                case ' ':
                        if (i > start)
                                argv.emplace_back(command.substr(start, i - start));
                        start = i + 1;
                        break;
                default:
                        break;
                }
        }
        if (argv.empty())
                return std::nullopt;
        return argv;
}

std::optional<std::vector<std::string>> shell_split(const std::string& command,
                                                    GError** error)
{
        if (auto argv = split_at_blanks(command))
                return argv;

        char** argv = nullptr;
        if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, error))
                return std::nullopt;
        return strv_to_vector(StrvPtr{argv}.get());
}

void warning(const char* message)
{
        g_return_if_fail(message != NULL);
        std::fprintf(stderr, "%s: %s\n", "brackenfold", message);
}

std::string Utils::get_shell()
{
        if (auto shell = g_getenv("SHELL"); shell && *shell)
                return shell;
        if (auto pw = getpwuid(getuid()); pw && pw->pw_shell && *pw->pw_shell)
                return pw->pw_shell;
        return "/bin/sh";
}

std::optional<std::string> Utils::display_uri(const char* uri)
{
        if (!uri)
                return std::nullopt;

        auto unescaped = CharPtr{g_uri_unescape_string(uri, nullptr)};
        std::string text = unescaped ? unescaped.get() : uri;

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

        auto unicode = CharPtr{g_hostname_to_unicode(host.c_str())};
        if (!unicode || host == unicode.get())
                return text;
        return text.substr(0, start) + unicode.get() + text.substr(end);
}
