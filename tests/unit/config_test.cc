#include "config.hh"
#include "config_files.hh"

#include <sys/stat.h>
#include <unistd.h>

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

GdkRGBA colour(const char* text)
{
        GdkRGBA rgba{};
        EXPECT_TRUE(gdk_rgba_parse(&rgba, text)) << text;
        return rgba;
}

void expect_colour(const std::optional<GdkRGBA>& actual, const char* expected)
{
        ASSERT_TRUE(actual.has_value()) << expected;
        auto want = colour(expected);
        EXPECT_TRUE(gdk_rgba_equal(&*actual, &want)) << expected;
}

std::string font_text(const Config& config)
{
        return CharPtr{pango_font_description_to_string(config.font.get())}.get();
}

const char* const default_palette[16] = {
    "black", "red3", "green3", "yellow3", "blue2", "magenta3", "cyan3", "grey90",
    "grey50", "red", "#00ff00", "yellow", "#5c5cff", "magenta", "cyan", "white"};

void expect_defaults(const Config& config)
{
        EXPECT_FALSE(config.autohide_mouse);
        EXPECT_EQ(config.cursor_shape, VTE_CURSOR_SHAPE_BLOCK);
        EXPECT_EQ(config.cursor_blink, VTE_CURSOR_BLINK_SYSTEM);
        EXPECT_EQ(font_text(config), "Monospace 12");
        EXPECT_EQ(config.scrollback, 10000);
        EXPECT_TRUE(config.scrollbar);
        EXPECT_FALSE(config.allow_hyperlinks);
        EXPECT_TRUE(config.prefer_osc7);
        EXPECT_TRUE(config.resize_hints);
        EXPECT_FALSE(config.bold_is_bright);
        for (auto const* single : {&config.foreground, &config.background,
                                   &config.cursor_foreground, &config.cursor_background,
                                   &config.highlight_foreground,
                                   &config.highlight_background, &config.bold})
                EXPECT_FALSE(single->has_value());
        for (int i = 0; i < 16; ++i) {
                auto want = colour(default_palette[i]);
                EXPECT_TRUE(gdk_rgba_equal(&config.palette[i], &want)) << i;
        }
        EXPECT_TRUE(config.open_with.empty());

        // A bright colour is never darker than its normal form, whatever
        // the colour-name table of the Pango at hand says.
        for (int i = 0; i < 8; ++i) {
                auto const& normal = config.palette[i];
                auto const& bright = config.palette[i + 8];
                EXPECT_GE(bright.red, normal.red) << i;
                EXPECT_GE(bright.green, normal.green) << i;
                EXPECT_GE(bright.blue, normal.blue) << i;
        }
}

struct Loaded {
        std::unique_ptr<Config> config;
        std::vector<std::string> warnings;
        std::string printed;
};

Loaded load(const ConfigFile& file)
{
        Loaded loaded;
        loaded.printed = stderr_of([&] {
                loaded.config = std::make_unique<Config>(file.path());
                loaded.warnings = loaded.config->get_warnings();
        });
        return loaded;
}

Loaded load(std::string_view text)
{
        ConfigFile file;
        file.write(text);
        return load(file);
}

void expect_warnings(const Loaded& loaded, const std::vector<std::string>& messages)
{
        EXPECT_EQ(loaded.warnings, bullets(messages));
        EXPECT_EQ(loaded.printed, printed(messages));
}

// --- Files that give every default ------------------------------------------

struct BadFileCase {
        const char* name;
        std::function<void(const ConfigFile&)> prepare;
        // GLib's message for the prepared file, if it warns.
        std::function<std::vector<std::string>(const ConfigFile&)> warnings;
};

void PrintTo(const BadFileCase& c, std::ostream* os) { *os << c.name; }

class DefaultsAfter : public testing::TestWithParam<BadFileCase> {};

TEST_P(DefaultsAfter, BadFile)
{
        auto const& c = GetParam();
        ConfigFile file;
        c.prepare(file);
        auto expected = c.warnings(file);
        // A load that blocks (on a FIFO, say) ends the test program instead
        // of holding it until the suite's time runs out.
        alarm(10);
        auto loaded = load(file);
        alarm(0);
        expect_defaults(*loaded.config);
        expect_warnings(loaded, expected);
}

auto writes(std::string text)
{
        return [=](const ConfigFile& file) { file.write(text); };
}

auto no_warnings = [](const ConfigFile&) { return std::vector<std::string>{}; };
auto loader_warning = [](const ConfigFile& file) {
        return std::vector<std::string>{loader_message(file.path())};
};

const std::string bad_last_line =
    "[misc]\nscrollback=42\nfont=Serif 9\n[colours]\nforeground=red\n<oops> & more\n";
const std::string font_not_utf8 = "[misc]\nfont=Mono\xe9\n";

INSTANTIATE_TEST_SUITE_P(Config, DefaultsAfter, testing::Values(
    BadFileCase{"NoFile", [](const ConfigFile&) {}, no_warnings},
    BadFileCase{"EmptyFile", writes(""), no_warnings},
    BadFileCase{"OnlyComments", writes("# nothing\n\n[misc]\n# here\n"), no_warnings},
    BadFileCase{"DirectoryInPlace", [](const ConfigFile& f) { f.make_directory(); },
                loader_warning},
    // GLib would wait in open() for a writer; GLib's own message for any
    // file that is not a regular one.
    BadFileCase{"FifoInPlace",
                [](const ConfigFile& f) { ASSERT_EQ(mkfifo(f.path().c_str(), 0600), 0); },
                [](const ConfigFile&) {
                        return std::vector<std::string>{
                            g_dgettext("glib20", "Not a regular file")};
                }},
    BadFileCase{"SyntaxErrorOnLastLine", writes(bad_last_line), loader_warning},
    BadFileCase{"KeyOutsideGroup", writes("scrollback=42\n[misc]\n"), loader_warning},
    BadFileCase{"StringNotUtf8", writes(font_not_utf8),
                [](const ConfigFile&) {
                        return std::vector<std::string>{
                            string_message(font_not_utf8, "misc", "font"),
                            "unknown or duplicate key in config: misc.font"};
                }}),
    [](auto const& info) { return std::string{info.param.name}; });

// The syntax error's message quotes the bad line: printed as written,
// stored escaped.
TEST(Config, LoaderMessageQuotingMarkupIsEscaped)
{
        ConfigFile file;
        file.write(bad_last_line);
        auto message = loader_message(file.path());
        ASSERT_NE(message.find("<oops> & more"), std::string::npos) << message;
        auto loaded = load(file);
        EXPECT_NE(loaded.printed.find("<oops> & more"), std::string::npos);
        ASSERT_EQ(loaded.warnings.size(), 1u);
        EXPECT_NE(loaded.warnings[0].find("&lt;oops&gt; &amp; more"), std::string::npos);
}

TEST(Config, DefaultConstructorReadsTheUserConfigDirectory)
{
        auto path = Config::default_path();
        auto dir = CharPtr{g_path_get_dirname(path.c_str())};
        EXPECT_EQ(path, std::string{g_get_user_config_dir()} + "/brackenfold/config");
        ASSERT_EQ(g_mkdir_with_parents(dir.get(), 0700), 0);
        ASSERT_TRUE(g_file_set_contents(path.c_str(), "[misc]\nscrollback=77\n", -1, nullptr));
        Config config;
        g_remove(path.c_str());
        g_rmdir(dir.get());
        EXPECT_EQ(config.scrollback, 77);
        EXPECT_TRUE(config.get_warnings().empty());
}

// The XDG base directory rules: a value that is not an absolute path is
// ignored, as if it were not set.
class ConfigHome : public testing::TestWithParam<const char*> {
protected:
        void SetUp() override { m_saved = optional_string(g_getenv("XDG_CONFIG_HOME")); }
        void TearDown() override
        {
                if (m_saved)
                        g_setenv("XDG_CONFIG_HOME", m_saved->c_str(), true);
                else
                        g_unsetenv("XDG_CONFIG_HOME");
        }

private:
        std::optional<std::string> m_saved;
};

TEST_P(ConfigHome, NotAnAbsolutePathIsIgnored)
{
        g_setenv("XDG_CONFIG_HOME", GetParam(), true);
        EXPECT_EQ(Config::default_path(),
                  std::string{g_get_home_dir()} + "/.config/brackenfold/config");
}

INSTANTIATE_TEST_SUITE_P(Config, ConfigHome,
                         testing::Values("", "rel", "rel/config", "./config", "~/.config"));

TEST_F(ConfigHome, AnAbsolutePathIsUsedAsItIsNow)
{
        g_setenv("XDG_CONFIG_HOME", "/some/where", true);
        EXPECT_EQ(Config::default_path(), "/some/where/brackenfold/config");
        g_unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(Config::default_path(),
                  std::string{g_get_home_dir()} + "/.config/brackenfold/config");
}

// --- Reading every key ------------------------------------------------------

TEST(Config, OnlyScrollback)
{
        auto loaded = load("[misc]\nscrollback=-1\n");
        EXPECT_EQ(loaded.config->scrollback, -1);
        loaded.config->scrollback = 10000;
        expect_defaults(*loaded.config);
        expect_warnings(loaded, {});
}

const char* const every_key = R"([misc]
autohide-mouse=true
cursor-shape=underline
cursor-blink=false
font=Serif Bold 9
scrollback=500
scrollbar=false
allow-hyperlinks=true
prefer-osc7=false
resize-hints=false
bold-is-bright=true
[colours]
foreground=#010203
background=#040506
cursor.foreground=#070809
cursor.background=#0a0b0c
bold=#0d0e0f
normal.black=#100000
bright.black=#180000
normal.red=#110000
bright.red=#190000
normal.green=#120000
bright.green=#1a0000
normal.yellow=#130000
bright.yellow=#1b0000
normal.blue=#140000
bright.blue=#1c0000
normal.magenta=#150000
bright.magenta=#1d0000
normal.cyan=#160000
bright.cyan=#1e0000
normal.white=#170000
bright.white=#1f0000
[open-with]
viewer=viewer --new %
)";

TEST(Config, ReadsEveryKey)
{
        auto loaded = load(every_key);
        auto const& c = *loaded.config;
        expect_warnings(loaded, {});
        EXPECT_TRUE(c.autohide_mouse);
        EXPECT_EQ(c.cursor_shape, VTE_CURSOR_SHAPE_UNDERLINE);
        EXPECT_EQ(c.cursor_blink, VTE_CURSOR_BLINK_OFF);
        EXPECT_EQ(font_text(c), "Serif Bold 9");
        EXPECT_EQ(c.scrollback, 500);
        EXPECT_FALSE(c.scrollbar);
        EXPECT_TRUE(c.allow_hyperlinks);
        EXPECT_FALSE(c.prefer_osc7);
        EXPECT_FALSE(c.resize_hints);
        EXPECT_TRUE(c.bold_is_bright);
        expect_colour(c.foreground, "#010203");
        expect_colour(c.background, "#040506");
        expect_colour(c.cursor_foreground, "#070809");
        expect_colour(c.cursor_background, "#0a0b0c");
        expect_colour(c.bold, "#0d0e0f");
        EXPECT_FALSE(c.highlight_foreground.has_value());
        EXPECT_FALSE(c.highlight_background.has_value());
        for (int i = 0; i < 16; ++i) {
                auto want = colour(CharPtr{g_strdup_printf("#%02x0000", 0x10 + i)}.get());
                EXPECT_TRUE(gdk_rgba_equal(&c.palette[i], &want)) << i;
        }
        EXPECT_EQ(c.open_with, (std::vector<OpenWithProgram>{
                                   {"viewer", {"viewer", "--new", "%"}}}));
}

// The file lists the bad values in the reverse of the reading order.
TEST(Config, WarningsComeInReadingOrder)
{
        auto loaded = load(R"([open-with]
second=no-placeholder
first=broken "quote %
[colours]
bright.red=nope4
normal.red=nope3
bright.black=nope2
normal.black=nope1
bold=b
cursor.background=cb
cursor.foreground=cf
background=bg
foreground=fg
[misc]
typo=1
cursor-blink=sometimes
cursor-shape=round
)");
        expect_warnings(loaded, {
            "invalid cursor shape 'round' in misc.cursor-shape",
            "invalid cursor blink setting 'sometimes' in misc.cursor-blink",
            "invalid colour 'fg' in colours.foreground",
            "invalid colour 'bg' in colours.background",
            "invalid colour 'cf' in colours.cursor.foreground",
            "invalid colour 'cb' in colours.cursor.background",
            "invalid colour 'b' in colours.bold",
            "invalid colour 'nope1' in colours.normal.black",
            "invalid colour 'nope2' in colours.bright.black",
            "invalid colour 'nope3' in colours.normal.red",
            "invalid colour 'nope4' in colours.bright.red",
            "ignoring command in open-with.second: missing '%'",
            "ignoring open-with.first due to malformed command: " +
                shell_message("broken \"quote %"),
            "unknown or duplicate key in config: misc.typo",
        });
        auto const& c = *loaded.config;
        EXPECT_FALSE(c.foreground.has_value());
        EXPECT_FALSE(c.bold.has_value());
        auto black = colour("black"), red3 = colour("red3");
        EXPECT_TRUE(gdk_rgba_equal(&c.palette[0], &black));
        EXPECT_TRUE(gdk_rgba_equal(&c.palette[1], &red3));
        EXPECT_TRUE(c.open_with.empty());
}

TEST(Config, UnknownAndDuplicateKeysNamedLast)
{
        auto loaded = load(R"([misc]
scrollback=100
scrolback=200
foreground=red
scrollback=300
[colours]
foreground=blue
[empty]
[unknown]
a=1
b=2
[open-with]
viewer=viewer %
)");
        expect_warnings(loaded, {"unknown or duplicate keys in config: misc.scrollback, "
                                 "misc.scrolback, misc.foreground, unknown.a, unknown.b"});
        EXPECT_EQ(loaded.config->scrollback, 300);
        expect_colour(loaded.config->foreground, "blue");
        EXPECT_EQ(loaded.config->open_with.size(), 1u);
}

TEST(Config, MarkupInValuePrintedRawStoredEscaped)
{
        auto loaded = load("[colours]\nforeground=<red&blue>\n");
        EXPECT_EQ(loaded.printed,
                  "brackenfold: invalid colour '<red&blue>' in colours.foreground\n");
        EXPECT_EQ(loaded.warnings,
                  std::vector<std::string>{"• invalid colour &apos;&lt;red&amp;blue&gt;&apos; "
                                           "in colours.foreground"});
}

TEST(Config, GetWarningsTwiceGivesEqualIndependentLists)
{
        auto loaded = load("[misc]\ncursor-shape=x\n");
        // Taken as declared: a reference into the configuration would not
        // compile here (const) or would change what it holds.
        decltype(auto) first = loaded.config->get_warnings();
        first.push_back("extra");
        auto second = loaded.config->get_warnings();
        EXPECT_EQ(second, std::vector<std::string>{"• invalid cursor shape &apos;x&apos; in misc.cursor-shape"});
        EXPECT_EQ(second, loaded.config->get_warnings());
}

} // namespace
