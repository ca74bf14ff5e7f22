// Typed, consuming reads of the configuration key file.
#include "configreader.hh"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <glib/gi18n-lib.h>
#include <glib/gstdio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
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

// Longer than any valid value: a font description, a colour or a command
// line of the file. Whatever is longer is refused before anything (the font
// parser, say) spends time and memory on it.
constexpr size_t max_value_bytes = 4096;
// A warning quotes at most this much of a value, a key or a group name...
constexpr size_t max_quoted_chars = 200;
// ...and is itself no longer than this, whatever GLib's messages quote.
constexpr size_t max_warning_chars = 1000;
// The report of unknown and duplicate keys names this many.
constexpr size_t max_listed_keys = 20;
// Warnings kept and printed; any more are only counted. Formatting,
// printing and keeping each of 100 000 would hold a reload for a second.
constexpr size_t max_kept_warnings = 100;

// A bounded, single-line quotation: control characters (a value's newlines,
// say, or an escape sequence meant for the terminal that shows standard
// error) are written as escapes.
std::string quoted(std::string_view text)
{
        auto shown = abbreviate(text, max_quoted_chars);
        std::string quoted;
        quoted.reserve(shown.size());
        for (unsigned char c : shown) {
                if (c == '\n')
                        quoted += "\\n";
                else if (c == '\t')
                        quoted += "\\t";
                else if (c < 0x20 || c == 0x7f)
                        quoted += printf_string("\\x%02x", c);
                else
                        quoted += char(c);
        }
        return quoted;
}

void set_error_from_errno(GError** error, int errsv)
{
        g_set_error_literal(error, G_FILE_ERROR, g_file_error_from_errno(errsv),
                            g_strerror(errsv));
}

class FileDescriptor {
public:
        explicit FileDescriptor(int fd) : m_fd{fd} {}
        FileDescriptor(FileDescriptor const&) = delete;
        FileDescriptor& operator=(FileDescriptor const&) = delete;
        ~FileDescriptor()
        {
                if (m_fd >= 0)
                        close(m_fd);
        }
        int get() const { return m_fd; }

private:
        int m_fd;
};

// The file's bytes, with the errors GLib's key file gives for the same
// file. Read here rather than by the key file, which would open a FIFO
// without O_NONBLOCK, waiting for a writer and holding the whole program,
// and would hide the NUL bytes that cut values short.
std::optional<std::string> read_file(const std::string& path, GError** error)
{
        FileDescriptor fd{g_open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0)};
        if (fd.get() < 0) {
                set_error_from_errno(error, errno);
                return std::nullopt;
        }
        struct stat status;
        if (fstat(fd.get(), &status) != 0) {
                set_error_from_errno(error, errno);
                return std::nullopt;
        }
        if (!S_ISREG(status.st_mode)) {
                g_set_error_literal(error, G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_PARSE,
                                    g_dgettext("glib20", "Not a regular file"));
                return std::nullopt;
        }
        std::string data;
        data.reserve(size_t(status.st_size));
        std::array<char, 65536> buffer;
        for (;;) {
                auto count = read(fd.get(), buffer.data(), buffer.size());
                if (count == 0)
                        return data;
                if (count > 0)
                        data.append(buffer.data(), size_t(count));
                else if (errno != EINTR && errno != EAGAIN) {
                        set_error_from_errno(error, errno);
                        return std::nullopt;
                }
        }
}

std::string_view trim(std::string_view text)
{
        auto blank = [](char c) { return g_ascii_isspace(c); };
        while (!text.empty() && blank(text.front()))
                text.remove_prefix(1);
        while (!text.empty() && blank(text.back()))
                text.remove_suffix(1);
        return text;
}

// Every group and key whose value holds a NUL byte or is longer than any
// valid one, found as the key file finds groups and keys in the same bytes.
// The key file would cut a value short at its NUL without a word. Of a key
// given more than once, only the last occurrence counts, as only that one
// is read.
std::unordered_map<std::string, std::unordered_map<std::string, UnusableValue>>
unusable_values(std::string_view data)
{
        std::unordered_map<std::string, std::unordered_map<std::string, UnusableValue>> found;
        if (data.size() <= max_value_bytes && data.find('\0') == std::string_view::npos)
                return found;
        std::string group;
        for (size_t start = 0; start < data.size();) {
                auto end = std::min(data.find('\n', start), data.size());
                auto line = data.substr(start, end - start);
                start = end + 1;
                if (line.ends_with('\r'))
                        line.remove_suffix(1);
                // What the key file's parser sees of the line.
                auto nul = line.find('\0');
                auto seen = trim(line.substr(0, nul));
                if (seen.starts_with('#'))
                        continue;
                if (auto close = seen.find(']');
                    seen.starts_with('[') && close != std::string_view::npos &&
                    trim(seen.substr(close + 1)).empty()) {
                        // The key file takes the name up to the line's last
                        // ']', and then as a C string.
                        auto open = line.find('[');
                        group = std::string{line.substr(open + 1, line.rfind(']') - open - 1)}
                                    .c_str();
                        continue;
                }
                auto equals = seen.find('=');
                if (equals == std::string_view::npos)
                        continue;
                auto problem = nul != std::string_view::npos ? UnusableValue::holds_nul
                               : trim(seen.substr(equals + 1)).size() > max_value_bytes
                                   ? UnusableValue::too_long
                                   : UnusableValue::none;
                if (problem != UnusableValue::none)
                        found[group][std::string{trim(seen.substr(0, equals))}] = problem;
                else if (auto keys = found.find(group); keys != found.end())
                        keys->second.erase(std::string{trim(seen.substr(0, equals))});
        }
        return found;
}

} // namespace

std::string left_out_warnings(size_t count)
{
        /* Translators: the number of warnings not shown. */
        return printf_string(g_dngettext(GETTEXT_PACKAGE, "… and %lu more warning",
                                         "… and %lu more warnings", count),
                             static_cast<unsigned long>(count));
}

ConfigReader::ConfigReader(const std::string& path) : m_key_file{g_key_file_new()}
{
        Error error;
        auto data = read_file(path, error.out());
        if (data && g_key_file_load_from_data(m_key_file.get(), data->data(), data->size(),
                                              G_KEY_FILE_NONE, error.out())) {
                m_unusable = unusable_values(*data);
                return;
        }
        if (error.matches(G_FILE_ERROR, G_FILE_ERROR_NOENT))
                return;

        append_warning(error.message());
        // A half-read file would mix the user's values with defaults.
        m_key_file = KeyFilePtr{g_key_file_new()};
}

void ConfigReader::append_warning(const std::string& message)
{
        // GLib's messages quote whole lines and values, of any length.
        auto bounded = abbreviate(message, max_warning_chars);
        warning(bounded.c_str());
        // Key and group names are not checked for UTF-8 by the key file, so
        // a warning may carry stray bytes.
        m_warnings.push_back("• " + escape_markup(bounded));
}

bool ConfigReader::refuse_value(const std::string& group, const std::string& key)
{
        auto keys = m_unusable.find(group);
        if (keys == m_unusable.end())
                return false;
        auto problem = keys->second.find(key);
        if (problem == keys->second.end() ||
            !g_key_file_has_key(m_key_file.get(), group.c_str(), key.c_str(), nullptr))
                return false;
        if (problem->second == UnusableValue::holds_nul)
                warn([&] {
                        /* Translators: the group, then the key. */
                        return printf_string(_("ignoring %s.%s: its value holds a NUL byte"),
                                             quoted(group).c_str(), quoted(key).c_str());
                });
        else
                warn([&] {
                        /* Translators: the group, the key, then a number of bytes. */
                        auto format = _("ignoring %s.%s: its value is longer than %d bytes");
                        return printf_string(format, quoted(group).c_str(), quoted(key).c_str(),
                                             int(max_value_bytes));
                });
        return true;
}

std::vector<std::string> ConfigReader::get_warnings() const
{
        return m_warnings;
}

size_t ConfigReader::warning_count() const
{
        return m_warnings.size() + m_left_out;
}

template<typename F>
void ConfigReader::warn(F&& message)
{
        if (m_warnings.size() < max_kept_warnings)
                append_warning(message());
        else
                ++m_left_out;
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
                // Asked for, so not unknown: the claim stays.
                if (refuse_value(group, key))
                        return def;
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
                warn([&] { return std::string{error->message}; });
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

        warn([&] {
                /* Translators: the value as written, then the group and the key. */
                return printf_string(_("invalid colour '%s' in %s.%s"), quoted(*text).c_str(),
                                     quoted(group).c_str(), quoted(key).c_str());
        });
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
        warn([&] {
                return printf_string(message, quoted(*text).c_str(), quoted(group).c_str(),
                                     quoted(key).c_str());
        });
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

        // Looked up once: a group can hold any number of bad entries.
        /* Translators: the program's name, then the shell parser's
         * explanation. */
        auto malformed = _("ignoring open-with.%s due to malformed command: %s");
        /* Translators: the program's name; '%' is the argument that the link
         * replaces. */
        auto missing = _("ignoring command in open-with.%s: missing '%%'");

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
                        warn([&] {
                                return printf_string(malformed, quoted(key).c_str(),
                                                     error.message());
                        });
                        continue;
                }
                if (!has_placeholder(*argv)) {
                        warn([&] { return printf_string(missing, quoted(key).c_str()); });
                        continue;
                }
                programs.push_back({key, std::move(*argv)});
        }
        return programs;
}

// --- The report ------------------------------------------------------------

void ConfigReader::log_unknown_keys()
{
        // Last but for the report below, which always comes.
        if (m_left_out)
                warning(left_out_warnings(m_left_out).c_str());

        // A file can hold any number of them: the first few are named, the
        // rest counted.
        std::vector<std::string> items;
        size_t count = 0;
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
                        if (count++ < max_listed_keys)
                                items.push_back(quoted(std::string{*group}.append(".").append(key)));
        }
        if (count == 0)
                return;

        auto listed = join(items, ", ");
        if (auto rest = count - items.size()) {
                /* Translators: a list of group.key items joined by ", ",
                 * then the number of items left out. */
                listed = printf_string(g_dngettext(GETTEXT_PACKAGE, "%s and %lu other",
                                                   "%s and %lu others", rest),
                                       listed.c_str(), static_cast<unsigned long>(rest));
        }
        /* Translators: a list of group.key items joined by ", ". */
        append_warning(printf_string(g_dngettext(GETTEXT_PACKAGE,
                                                 "unknown or duplicate key in config: %s",
                                                 "unknown or duplicate keys in config: %s",
                                                 count),
                                     listed.c_str()));
}
