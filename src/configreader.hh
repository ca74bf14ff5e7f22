// Typed, consuming reads of the configuration key file.
//
// Every successful read removes the key, so whatever is left when the model
// has read all it knows is a key nobody asked for: log_unknown_keys names
// exactly that remainder. Problems become warnings, printed at once and kept
// (markup-escaped, behind "• ") for the notification bar.
#pragma once

#include "utils.hh"

#include <gdk/gdk.h>
#include <vte/vte.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Why a value in the file is not read.
enum class UnusableValue { none, holds_nul, too_long };

struct OpenWithProgram {
        std::string name;
        std::vector<std::string> argv;

        bool operator==(OpenWithProgram const&) const = default;
};

class ConfigReader {
public:
        explicit ConfigReader(const std::string& path);
        ConfigReader(ConfigReader const&) = delete;
        ConfigReader& operator=(ConfigReader const&) = delete;

        void append_warning(const std::string& message);
        std::vector<std::string> get_warnings() const;
        // The warnings kept and those only counted (see warn()).
        size_t warning_count() const;
        void log_unknown_keys();

        std::optional<std::string> read_string(const std::string& group,
                                               const std::string& key,
                                               std::optional<std::string> def);
        std::optional<int> read_integer(const std::string& group,
                                        const std::string& key,
                                        std::optional<int> def);
        std::optional<bool> read_boolean(const std::string& group,
                                         const std::string& key,
                                         std::optional<bool> def);
        std::optional<GdkRGBA> read_colour(const std::string& group,
                                           const std::string& key,
                                           std::optional<std::string> def);
        VteCursorShape read_cursor(const std::string& group,
                                   const std::string& key,
                                   const std::string& def);
        VteCursorBlinkMode read_blink(const std::string& group,
                                      const std::string& key,
                                      const std::string& def);
        std::vector<OpenWithProgram>
        read_open_with(const std::vector<OpenWithProgram>& def);

private:
        template<typename T>
        using Words = std::initializer_list<std::pair<std::string_view, T>>;

        // One of a fixed set of words, matched exactly; anything else is
        // warned about with `message` (value, group, key) and gives
        // `fallback`, whatever the default was.
        template<typename T>
        T read_word(const std::string& group, const std::string& key,
                    const std::string& def, Words<T> words, T fallback,
                    const char* message);

        // Appends the warning `message()` makes, or only counts it once
        // enough are kept: a file can cause any number.
        template<typename F>
        void warn(F&& message);

        // Warns about a value nobody should read: one that holds a NUL byte
        // (the key file would cut it short) or is longer than any valid one.
        bool refuse_value(const std::string& group, const std::string& key);

        void handle_key_file_error(const GError* error,
                                   const std::string& group,
                                   const std::string& key);

        template<typename T, typename Get>
        std::optional<T> consume(const std::string& group,
                                 const std::string& key,
                                 std::optional<T> def, Get get);
        bool check_not_consumed(const std::string& group,
                                const std::string& key, GError** error) const;
        bool remove_key(const std::string& group, const std::string& key,
                        GError** error);
        const std::vector<std::string>* listing(const std::string& group,
                                                GError** error);
        std::optional<CharPtr> read_text(const std::string& group,
                                         const std::string& key);
        // The keys of `group` not yet read, in the key file's order; views
        // into the group's listing.
        std::optional<std::vector<std::string_view>>
        list_keys(const std::string& group, GError** error);

        KeyFilePtr m_key_file;
        // Keys read successfully, per group. The key file itself is never
        // changed after loading: unlinking an entry from a GKeyFile walks
        // the group's whole list, which makes reading a large group
        // quadratic. Every lookup and listing treats a key in here exactly
        // as if it had been removed from the key file.
        std::unordered_map<std::string, std::unordered_set<std::string>> m_consumed;
        // Every key of a group as the key file lists it, once asked for.
        std::unordered_map<std::string, std::vector<std::string>> m_listings;
        // Groups and keys whose value in the file is not to be read.
        std::unordered_map<std::string, std::unordered_map<std::string, UnusableValue>>
            m_unusable;
        std::vector<std::string> m_warnings;
        size_t m_left_out = 0;
};

// "… and N more warnings", translated.
std::string left_out_warnings(size_t count);
