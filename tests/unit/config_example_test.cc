// SPDX-License-Identifier: BSD-2-Clause
// The example configuration that is installed with the program: it names
// every key, each at its default, so that using it as it stands changes
// nothing and no key is misspelt or filed under the wrong group.
#include "config.hh"

#include <glib/gstdio.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string example_path()
{
        auto srcdir = g_getenv("TEST_SRCDIR");
        if (!srcdir)
                throw std::runtime_error{"TEST_SRCDIR is not set"};
        return std::string{srcdir} + "/../data/config.example";
}

std::string read_text(const std::string& path)
{
        std::ifstream in{path, std::ios::binary};
        if (!in)
                throw std::runtime_error{"cannot read " + path};
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
}

bool same_colour(const std::optional<GdkRGBA>& a, const std::optional<GdkRGBA>& b)
{
        if (!a || !b)
                return !a && !b;
        return gdk_rgba_equal(&*a, &*b);
}

// The names of the fields in which two configurations differ.
std::vector<std::string> differences(const Config& a, const Config& b)
{
        std::vector<std::string> fields;
        auto check = [&](bool same, const char* field) {
                if (!same)
                        fields.push_back(field);
        };
        check(a.autohide_mouse == b.autohide_mouse, "autohide_mouse");
        check(a.cursor_shape == b.cursor_shape, "cursor_shape");
        check(a.cursor_blink == b.cursor_blink, "cursor_blink");
        check(a.font && b.font && pango_font_description_equal(a.font.get(), b.font.get()),
              "font");
        check(a.scrollback == b.scrollback, "scrollback");
        check(a.scrollbar == b.scrollbar, "scrollbar");
        check(a.allow_hyperlinks == b.allow_hyperlinks, "allow_hyperlinks");
        check(a.prefer_osc7 == b.prefer_osc7, "prefer_osc7");
        check(a.resize_hints == b.resize_hints, "resize_hints");
        check(a.bold_is_bright == b.bold_is_bright, "bold_is_bright");
        check(same_colour(a.foreground, b.foreground), "foreground");
        check(same_colour(a.background, b.background), "background");
        check(same_colour(a.cursor_foreground, b.cursor_foreground), "cursor_foreground");
        check(same_colour(a.cursor_background, b.cursor_background), "cursor_background");
        check(same_colour(a.highlight_foreground, b.highlight_foreground),
              "highlight_foreground");
        check(same_colour(a.highlight_background, b.highlight_background),
              "highlight_background");
        check(same_colour(a.bold, b.bold), "bold");
        for (size_t i = 0; i < a.palette.size(); ++i)
                check(gdk_rgba_equal(&a.palette[i], &b.palette[i]),
                      ("palette[" + std::to_string(i) + "]").c_str());
        check(a.open_with == b.open_with, "open_with");
        return fields;
}

// A scratch configuration file, removed with the object.
class ConfigFile {
public:
        explicit ConfigFile(const std::string& text)
        {
                Error error;
                char* name = nullptr;
                auto fd = g_file_open_tmp("brackenfold-config-XXXXXX", &name, error.out());
                if (fd < 0)
                        throw std::runtime_error{error.message()};
                m_path = CharPtr{name}.get();
                g_close(fd, nullptr);
                std::ofstream{m_path, std::ios::binary | std::ios::trunc} << text;
        }
        ~ConfigFile() { g_unlink(m_path.c_str()); }
        ConfigFile(ConfigFile const&) = delete;
        ConfigFile& operator=(ConfigFile const&) = delete;
        const std::string& path() const { return m_path; }

private:
        std::string m_path;
};

// The configuration every field of which is at its default.
const Config& defaults()
{
        static ConfigFile empty{""};
        static Config config{empty.path()};
        return config;
}

std::string joined(const std::vector<std::string>& lines)
{
        std::string text;
        for (auto const& line : lines)
                text += line + "\n";
        return text;
}

TEST(ExampleConfig, LoadsWithoutWarningsAndChangesNothing)
{
        Config example{example_path()};
        EXPECT_EQ(example.get_warnings(), std::vector<std::string>{});
        EXPECT_EQ(differences(example, defaults()), std::vector<std::string>{});
        ASSERT_TRUE(defaults().get_warnings().empty());
}

// A key of the program with a valid value other than its default, and the
// one field that value must change.
struct Key {
        const char* group;
        const char* key;
        const char* other_value;
        const char* field;
};

std::ostream& operator<<(std::ostream& out, const Key& key)
{
        return out << key.group << "." << key.key;
}

const Key known_keys[] = {
    {"misc", "autohide-mouse", "true", "autohide_mouse"},
    {"misc", "cursor-shape", "beam", "cursor_shape"},
    {"misc", "cursor-blink", "false", "cursor_blink"},
    {"misc", "font", "Sans Bold 7", "font"},
    {"misc", "scrollback", "123", "scrollback"},
    {"misc", "scrollbar", "false", "scrollbar"},
    {"misc", "allow-hyperlinks", "true", "allow_hyperlinks"},
    {"misc", "prefer-osc7", "false", "prefer_osc7"},
    {"misc", "resize-hints", "false", "resize_hints"},
    {"misc", "bold-is-bright", "true", "bold_is_bright"},
    {"colours", "foreground", "#010203", "foreground"},
    {"colours", "background", "#010203", "background"},
    {"colours", "cursor.foreground", "#010203", "cursor_foreground"},
    {"colours", "cursor.background", "#010203", "cursor_background"},
    {"colours", "bold", "#010203", "bold"},
    {"colours", "normal.black", "#010203", "palette[0]"},
    {"colours", "bright.black", "#010203", "palette[8]"},
    {"colours", "normal.red", "#010203", "palette[1]"},
    {"colours", "bright.red", "#010203", "palette[9]"},
    {"colours", "normal.green", "#010203", "palette[2]"},
    {"colours", "bright.green", "#010203", "palette[10]"},
    {"colours", "normal.yellow", "#010203", "palette[3]"},
    {"colours", "bright.yellow", "#010203", "palette[11]"},
    {"colours", "normal.blue", "#010203", "palette[4]"},
    {"colours", "bright.blue", "#010203", "palette[12]"},
    {"colours", "normal.magenta", "#010203", "palette[5]"},
    {"colours", "bright.magenta", "#010203", "palette[13]"},
    {"colours", "normal.cyan", "#010203", "palette[6]"},
    {"colours", "bright.cyan", "#010203", "palette[14]"},
    {"colours", "normal.white", "#010203", "palette[7]"},
    {"colours", "bright.white", "#010203", "palette[15]"},
};

std::vector<std::string> lines_of(const std::string& text)
{
        std::vector<std::string> lines;
        std::istringstream in{text};
        for (std::string line; std::getline(in, line);)
                lines.push_back(line);
        return lines;
}

// The example's line for `key`, set or commented out, within its group.
std::optional<size_t> find_key(const std::vector<std::string>& lines, const Key& key)
{
        std::string group;
        std::string set = std::string{key.key} + "=";
        std::string commented = "#" + set;
        for (size_t i = 0; i < lines.size(); ++i) {
                auto const& line = lines[i];
                if (line.starts_with("["))
                        group = line;
                else if (group == "[" + std::string{key.group} + "]" &&
                         (line.starts_with(set) || line.starts_with(commented)))
                        return i;
        }
        return std::nullopt;
}

class ExampleKey : public testing::TestWithParam<Key> {};

// Changing the example's value proves the key is spelt as the program reads
// it, in the right group, and feeds the right field.
TEST_P(ExampleKey, IsPresentAndReadIntoItsField)
{
        auto key = GetParam();
        auto lines = lines_of(read_text(example_path()));
        auto index = find_key(lines, key);
        ASSERT_TRUE(index) << key << " is missing from the example";

        lines[*index] = std::string{key.key} + "=" + key.other_value;
        ConfigFile changed{joined(lines)};
        Config config{changed.path()};
        EXPECT_EQ(config.get_warnings(), std::vector<std::string>{});
        EXPECT_EQ(differences(config, defaults()), std::vector<std::string>{key.field});
}

INSTANTIATE_TEST_SUITE_P(EveryKey, ExampleKey, testing::ValuesIn(known_keys));

// The commented-out samples are ready to use: removing their "#" gives
// valid settings.
TEST(ExampleConfig, CommentedSamplesAreValid)
{
        auto lines = lines_of(read_text(example_path()));
        int uncommented = 0;
        for (auto& line : lines) {
                auto eq = line.find('=');
                if (line.starts_with("#") && eq != std::string::npos &&
                    line.find(' ') > eq) {
                        line.erase(0, 1);
                        ++uncommented;
                }
        }
        EXPECT_EQ(uncommented, 6);

        ConfigFile file{joined(lines)};
        Config config{file.path()};
        EXPECT_EQ(config.get_warnings(), std::vector<std::string>{});
        EXPECT_EQ(differences(config, defaults()),
                  (std::vector<std::string>{"foreground", "background", "cursor_foreground",
                                            "cursor_background", "bold", "open_with"}));
        ASSERT_EQ(config.open_with.size(), 1u);
        EXPECT_EQ(config.open_with[0].name, "Firefox");
        EXPECT_EQ(config.open_with[0].argv,
                  (std::vector<std::string>{"firefox", "--new-window", "%"}));
}

} // namespace
