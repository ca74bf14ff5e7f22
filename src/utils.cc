#include "utils.hh"

#include <pwd.h>
#include <unistd.h>

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
        auto valid = CharPtr{g_utf8_make_valid(text.data(), gssize(text.size()))};
        return CharPtr{g_markup_escape_text(valid.get(), -1)}.get();
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

        auto unicode = CharPtr{g_hostname_to_unicode(host.c_str())};
        if (!unicode || host == unicode.get())
                return text;
        return text.substr(0, start) + unicode.get() + text.substr(end);
}
