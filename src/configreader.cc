// SPDX-License-Identifier: BSD-2-Clause
// Typed, consuming reads of the configuration key file.
#include "configreader.hh"

#include <sys/stat.h>

#include <glib/gi18n-lib.h>

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr auto open_with_group = "open-with";

// The key file and the shell parser report errors of their own domains
// only; anything else means GLib changed under us.
void log_unexpected_error(const GError* error, const char* file, int line)
{
        g_critical("file %s: line %d: unexpected error: %s (%s, %d)", file, line,
                   error->message, g_quark_to_string(error->domain), error->code);
}

G_GNUC_PRINTF(1, 2)
std::string printf_string(const char* format, ...)
{
        va_list args;
        va_start(args, format);
        auto text = CharPtr{g_strdup_vprintf(format, args)};
        va_end(args);
        return text.get();
}

std::string join(const std::vector<std::string>& items, std::string_view separator)
{
        std::string joined;
        for (auto const& item : items) {
                if (!joined.empty())
                        joined += separator;
                joined += item;
        }
        return joined;
}


// The key file's own answer for a key it does not have.
void set_key_not_found(GError** error, const std::string& group, const std::string& key)
{
        g_set_error(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_KEY_NOT_FOUND,
                    "Key file does not have key “%s” in group “%s”",
                    key.c_str(), group.c_str());
}

bool has_placeholder(const std::vector<std::string>& argv)
{
        return std::ranges::find(argv, "%") != argv.end();
}

// GLib opens the file before it looks at what kind of file it is: opening a
// FIFO waits for a writer, and would hold the whole program with it.
bool is_fifo(const std::string& path)
{
        struct stat status;
        return stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
}

} // namespace

ConfigReader::ConfigReader(const std::string& path) : m_key_file{g_key_file_new()}
{
        Error error;
        if (is_fifo(path))
                // GLib's own words for any file that is not a regular one.
                g_set_error_literal(error.out(), G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_PARSE,
                                    g_dgettext("glib20", "Not a regular file"));
        else if (g_key_file_load_from_file(m_key_file.get(), path.c_str(),
                                           G_KEY_FILE_NONE, error.out()))
                return;
        if (error.matches(G_FILE_ERROR, G_FILE_ERROR_NOENT))
                return;

        append_warning(error.message());
        // A half-read file would mix the user's values with defaults.
        m_key_file = KeyFilePtr{g_key_file_new()};
}

void ConfigReader::append_warning(const std::string& message)
{
        warning(message.c_str());
        // Key and group names are not checked for UTF-8 by the key file, so
        // a warning may carry stray bytes.
        m_warnings.push_back("• " + escape_markup(message));
}

std::vector<std::string> ConfigReader::get_warnings() const
{
        return m_warnings;
}

// --- The consuming read ----------------------------------------------------

bool ConfigReader::check_not_consumed(const std::string& group,
                                      const std::string& key, GError** error) const
{
        auto consumed = m_consumed.find(group);
        if (consumed == m_consumed.end() || !consumed->second.contains(key))
                return true;
        set_key_not_found(error, group, key);
        return false;
}

bool ConfigReader::remove_key(const std::string& group, const std::string& key,
                              GError** error)
{
        if (!check_not_consumed(group, key, error))
                return false;
        if (!g_key_file_has_key(m_key_file.get(), group.c_str(), key.c_str(), error)) {
                if (error && !*error)
                        set_key_not_found(error, group, key);
                return false;
        }
        m_consumed[group].insert(key);
        return true;
}

const std::vector<std::string>* ConfigReader::listing(const std::string& group,
                                                      GError** error)
{
        // The key file never changes after loading, so neither does a
        // group's listing.
        if (auto listed = m_listings.find(group); listed != m_listings.end())
                return &listed->second;
        auto strv = StrvPtr{g_key_file_get_keys(m_key_file.get(), group.c_str(),
                                                nullptr, error)};
        if (!strv)
                return nullptr;
        return &m_listings.emplace(group, strv_to_vector(strv.get())).first->second;
}

std::optional<std::vector<std::string_view>>
ConfigReader::list_keys(const std::string& group, GError** error)
{
        auto keys = listing(group, error);
        if (!keys)
                return std::nullopt;
        auto consumed = m_consumed.find(group);
        // Each consumed key takes exactly one listing with it.
        if (consumed != m_consumed.end() && consumed->second.size() == keys->size())
                return std::vector<std::string_view>{};
        if (consumed == m_consumed.end() || consumed->second.empty())
                return std::vector<std::string_view>(keys->begin(), keys->end());

        // Of a key given twice the key file answers with, and removes, the
        // last occurrence; the earlier ones stay listed.
        std::unordered_set<std::string_view> removed;
        std::vector<bool> keep(keys->size(), true);
        for (auto i = keys->size(); i-- > 0;) {
                auto const& key = (*keys)[i];
                if (consumed->second.contains(key) && removed.insert(key).second)
                        keep[i] = false;
        }

        std::vector<std::string_view> left;
        for (size_t i = 0; i < keys->size(); ++i)
                if (keep[i])
                        left.emplace_back((*keys)[i]);
        return left;
}

// A value counts only once it has been read and removed, so each key can be
// read successfully once, and whatever is left at the end is unknown.
template<typename T, typename Get>
std::optional<T> ConfigReader::consume(const std::string& group,
                                       const std::string& key,
                                       std::optional<T> def, Get get)
{
        // Claimed before the read, so the key is looked up once; a failed
        // read gives the claim back.
        auto& consumed = m_consumed[group];
        auto [claim, unclaimed] = consumed.insert(key);
        Error error;
        std::optional<T> value;
        if (unclaimed) {
                value = get(group.c_str(), key.c_str(), error.out());
                if (!error)
                        return value;
                consumed.erase(claim);
        } else {
                set_key_not_found(error.out(), group, key);
        }

        if (error.get()->domain != G_KEY_FILE_ERROR) {
                log_unexpected_error(error.get(), __FILE__, __LINE__);
                return std::nullopt;
        }
        handle_key_file_error(error.get(), group, key);
        return def;
}

void ConfigReader::handle_key_file_error(const GError* error,
                                         const std::string& group,
                                         const std::string& key)
{
        g_return_if_fail(error != NULL);

        if (error->domain != G_KEY_FILE_ERROR) {
                log_unexpected_error(error, __FILE__, __LINE__);
                return;
        }
        switch (error->code) {
        case G_KEY_FILE_ERROR_INVALID_VALUE: {
                // A value nobody can use is not worth a warning, but it was
                // asked for, so it must not count as unknown either.
                Error removal;
                if (remove_key(group, key, removal.out()))
                        break;
                if (removal.get()->domain == G_KEY_FILE_ERROR)
                        g_debug("%s: Could not remove existing and valid key entry",
                                G_STRLOC);
                else
                        log_unexpected_error(removal.get(), __FILE__, __LINE__);
                break;
        }
        case G_KEY_FILE_ERROR_UNKNOWN_ENCODING:
                append_warning(error->message);
                break;
        default:
                break;
        }
}

// read_string without the copy, for the open-with group's many values.
std::optional<CharPtr> ConfigReader::read_text(const std::string& group,
                                               const std::string& key)
{
        return consume<CharPtr>(
            group, key, std::nullopt,
            [this](const char* g, const char* k, GError** error) -> std::optional<CharPtr> {
                    auto value = CharPtr{g_key_file_get_string(m_key_file.get(), g, k, error)};
                    return value ? std::optional{std::move(value)} : std::nullopt;
            });
}

std::optional<std::string> ConfigReader::read_string(const std::string& group,
                                                     const std::string& key,
                                                     std::optional<std::string> def)
{
        return consume<std::string>(
            group, key, std::move(def),
            [this](const char* g, const char* k, GError** error) -> std::optional<std::string> {
                    // The key file may hand out a value along with an error.
                    auto value = CharPtr{g_key_file_get_string(m_key_file.get(), g, k, error)};
                    return optional_string(value.get());
            });
}

std::optional<int> ConfigReader::read_integer(const std::string& group,
                                              const std::string& key,
                                              std::optional<int> def)
{
        return consume<int>(group, key, def,
                            [this](const char* g, const char* k, GError** error) {
                                    return std::optional<int>{g_key_file_get_integer(
                                        m_key_file.get(), g, k, error)};
                            });
}

std::optional<bool> ConfigReader::read_boolean(const std::string& group,
                                               const std::string& key,
                                               std::optional<bool> def)
{
        return consume<bool>(group, key, def,
                             [this](const char* g, const char* k, GError** error) {
                                     return std::optional<bool>{bool(g_key_file_get_boolean(
                                         m_key_file.get(), g, k, error))};
                             });
}

// --- Validated reads -------------------------------------------------------

std::optional<GdkRGBA> ConfigReader::read_colour(const std::string& group,
                                                 const std::string& key,
                                                 std::optional<std::string> def)
{
        auto text = read_string(group, key, def);
        if (!text)
                return std::nullopt;

        GdkRGBA colour{};
        if (gdk_rgba_parse(&colour, text->c_str()))
                return colour;

        /* Translators: the value as written, then the group and the key. */
        append_warning(printf_string(_("invalid colour '%s' in %s.%s"), text->c_str(),
                                     group.c_str(), key.c_str()));
        GdkRGBA fallback{};
        if (def && gdk_rgba_parse(&fallback, def->c_str()))
                return fallback;
        return std::nullopt;
}

template<typename T>
T ConfigReader::read_word(const std::string& group, const std::string& key,
                          const std::string& def, Words<T> words, T fallback,
                          const char* message)
{
        auto text = read_string(group, key, def);
        if (!text)
                return fallback;
        for (auto [word, value] : words)
                if (*text == word)
                        return value;
        append_warning(printf_string(message, text->c_str(), group.c_str(), key.c_str()));
        return fallback;
}

VteCursorShape ConfigReader::read_cursor(const std::string& group,
                                         const std::string& key,
                                         const std::string& def)
{
        return read_word<VteCursorShape>(
            group, key, def,
            {{"block", VTE_CURSOR_SHAPE_BLOCK},
             {"beam", VTE_CURSOR_SHAPE_IBEAM},
             {"underline", VTE_CURSOR_SHAPE_UNDERLINE}},
            VTE_CURSOR_SHAPE_BLOCK,
            /* Translators: the value as written, then the group and the key. */
            _("invalid cursor shape '%s' in %s.%s"));
}

VteCursorBlinkMode ConfigReader::read_blink(const std::string& group,
                                            const std::string& key,
                                            const std::string& def)
{
        return read_word<VteCursorBlinkMode>(
            group, key, def,
            {{"true", VTE_CURSOR_BLINK_ON},
             {"false", VTE_CURSOR_BLINK_OFF},
             {"system", VTE_CURSOR_BLINK_SYSTEM}},
            VTE_CURSOR_BLINK_SYSTEM,
            /* Translators: the value as written, then the group and the key. */
            _("invalid cursor blink setting '%s' in %s.%s"));
}

std::vector<OpenWithProgram>
ConfigReader::read_open_with(const std::vector<OpenWithProgram>& def)
{
        Error error;
        auto keys = list_keys(open_with_group, error.out());
        if (!keys) {
                if (error.get()->domain == G_KEY_FILE_ERROR)
                        return def;
                log_unexpected_error(error.get(), __FILE__, __LINE__);
                return {};
        }

        std::vector<OpenWithProgram> programs;
        programs.reserve(keys->size());
        m_consumed[open_with_group].reserve(keys->size());
        for (auto const& listed : *keys) {
                std::string key{listed};
                // Nothing for the earlier listing of a key given twice: its
                // value went with the later one.
                auto command = read_text(open_with_group, key);
                if (!command)
                        continue;

                auto argv = shell_split(command->get(), error.out());
                if (!argv) {
                        if (error.get()->domain != G_SHELL_ERROR) {
                                log_unexpected_error(error.get(), __FILE__, __LINE__);
                                return {};
                        }
                        /* Translators: the program's name, then the shell
                         * parser's explanation. */
                        append_warning(printf_string(
                            _("ignoring open-with.%s due to malformed command: %s"),
                            key.c_str(), error.message()));
                        continue;
                }
                if (!has_placeholder(*argv)) {
                        /* Translators: the program's name; '%' is the
                         * argument that the link replaces. */
                        append_warning(printf_string(
                            _("ignoring command in open-with.%s: missing '%%'"),
                            key.c_str()));
                        continue;
                }
                programs.push_back({key, std::move(*argv)});
        }
        return programs;
}

// --- The report ------------------------------------------------------------

void ConfigReader::log_unknown_keys()
{
        std::vector<std::string> items;
        auto groups = StrvPtr{g_key_file_get_groups(m_key_file.get(), nullptr)};
        for (auto group = groups.get(); group && *group; ++group) {
                Error error;
                auto keys = list_keys(*group, error.out());
                if (!keys) {
                        if (error.get()->domain != G_KEY_FILE_ERROR) {
                                log_unexpected_error(error.get(), __FILE__, __LINE__);
                                return;
                        }
                        break;
                }
                for (auto key : *keys)
                        items.push_back(std::string{*group}.append(".").append(key));
        }
        if (items.empty())
                return;

        /* Translators: a list of group.key items joined by ", ". */
        append_warning(printf_string(g_dngettext(GETTEXT_PACKAGE,
                                                 "unknown or duplicate key in config: %s",
                                                 "unknown or duplicate keys in config: %s",
                                                 items.size()),
                                     join(items, ", ").c_str()));
}
