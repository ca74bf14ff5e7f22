#include "configreader.hh"
#include "config_files.hh"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// What a warning quotes of `text`: its first 200 characters, then "…".
std::string quote_of(std::string_view text)
{
        return std::string{text.substr(0, 200)} + "…";
}

const std::string x3000(3000, 'x');
const std::string longest_value(4096, 'v');
const std::string too_long = "ignoring g.s: its value is longer than 4096 bytes";

// Loads `text` as the configuration, runs `reads`, then reports the
// leftovers as the model does; what is printed is kept for comparison.
struct Reading {
        std::string result;
        std::vector<std::string> warnings;
        std::string printed;
};

template<typename F>
Reading read_config(std::string_view text, F&& reads)
{
        ConfigFile file;
        file.write(text);
        Reading reading;
        reading.printed = stderr_of([&] {
                ConfigReader reader{file.path()};
                reading.result = reads(reader);
                reader.log_unknown_keys();
                reading.warnings = reader.get_warnings();
        });
        return reading;
}

void expect_warnings(const Reading& reading, const std::vector<std::string>& messages)
{
        EXPECT_EQ(reading.warnings, bullets(messages));
        EXPECT_EQ(reading.printed, printed(messages));
}

template<typename T>
std::string show(const std::optional<T>& value)
{
        if (!value)
                return "none";
        if constexpr (std::is_same_v<T, std::string>)
                return "'" + *value + "'";
        else
                return std::to_string(*value);
}

// --- The consuming read ------------------------------------------------------

struct ReadCase {
        const char* name;
        std::string text;
        std::function<std::string(ConfigReader&)> reads;
        std::string result;
        std::vector<std::string> warnings;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ConsumingRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ConsumingRead, YieldsValueOrDefaultAndReportsTheRest)
{
        auto const& c = GetParam();
        auto reading = read_config(c.text, c.reads);
        EXPECT_EQ(reading.result, c.result);
        expect_warnings(reading, c.warnings);
}

auto integer(const char* key, std::optional<int> def)
{
        return [=](ConfigReader& r) { return show(r.read_integer("g", key, def)); };
}

auto boolean(const char* key, std::optional<bool> def)
{
        return [=](ConfigReader& r) { return show(r.read_boolean("g", key, def)); };
}

auto string(const char* key, std::optional<std::string> def)
{
        return [=](ConfigReader& r) { return show(r.read_string("g", key, def)); };
}

const std::string not_utf8 = "[g]\ns=caf\xe9\n";

INSTANTIATE_TEST_SUITE_P(ConfigReader, ConsumingRead, testing::Values(
    ReadCase{"Integer", "[g]\nn=5\n", integer("n", 7), "5", {}},
    ReadCase{"NegativeInteger", "[g]\nn=-12\n", integer("n", 7), "-12", {}},
    ReadCase{"AbsentKeyGivesDefault", "[g]\n", integer("n", 7), "7", {}},
    ReadCase{"AbsentGroupGivesDefault", "[h]\n", integer("n", 7), "7", {}},
    ReadCase{"AbsentWithoutDefault", "[g]\n", integer("n", std::nullopt), "none", {}},
    ReadCase{"SecondReadGetsDefault", "[g]\nn=5\n",
             [](ConfigReader& r) {
                     auto first = show(r.read_integer("g", "n", 7));
                     return first + "," + show(r.read_integer("g", "n", 7));
             },
             "5,7", {}},
    // Values that cannot be interpreted fall back silently and, having been
    // asked for, are not unknown.
    ReadCase{"IntegerWord", "[g]\nn=five\n", integer("n", 7), "7", {}},
    ReadCase{"IntegerOutOfRange", "[g]\nn=99999999999\n", integer("n", 7), "7", {}},
    ReadCase{"IntegerWordWithoutDefault", "[g]\nn=five\n", integer("n", std::nullopt), "none", {}},
    ReadCase{"Boolean", "[g]\nb=false\n", boolean("b", true), "0", {}},
    ReadCase{"BooleanWord", "[g]\nb=yes\n", boolean("b", true), "1", {}},
    ReadCase{"BooleanNumberWord", "[g]\nb=2\n", boolean("b", false), "0", {}},
    ReadCase{"StringUnescaped", "[g]\ns=\\sa\\tb\\\\\n", string("s", "d"), "' a\tb\\'", {}},
    ReadCase{"StringBadEscape", "[g]\ns=a\\q\n", string("s", "d"), "'d'", {}},
    ReadCase{"StringNotUtf8", not_utf8, string("s", "d"), "'d'",
             {string_message(not_utf8, "g", "s"), "unknown or duplicate key in config: g.s"}},
    ReadCase{"KeyGivenTwice", "[g]\nn=1\nn=2\n", integer("n", 7), "2",
             {"unknown or duplicate key in config: g.n"}},
    ReadCase{"KeyGivenThreeTimes", "[g]\nn=1\nn=2\nn=3\n", integer("n", 7), "3",
             {"unknown or duplicate keys in config: g.n, g.n"}},
    ReadCase{"KeyTwiceInRepeatedGroup", "[g]\nn=1\n[h]\n[g]\nn=2\n", integer("n", 7), "2",
             {"unknown or duplicate key in config: g.n"}},
    ReadCase{"UnknownKeysAndGroups",
             "[g]\nx=0\nn=1\ny=2\n[empty]\n[other]\nz=3\n", integer("n", 7), "1",
             {"unknown or duplicate keys in config: g.x, g.y, other.z"}},
    // No valid value is longer than 4 KiB: one that is is refused before
    // anything is made of it, whatever its type.
    ReadCase{"LongestValue", "[g]\ns=" + longest_value + "\n", string("s", "d"),
             "'" + longest_value + "'", {}},
    ReadCase{"StringLongerThanAnyValid", "[g]\ns=" + longest_value + "v\n", string("s", "d"),
             "'d'", {too_long}},
    ReadCase{"IntegerLongerThanAnyValid", "[g]\ns=" + std::string(5000, '1') + "\n",
             [](ConfigReader& r) { return show(r.read_integer("g", "s", 7)); }, "7",
             {too_long}},
    // The key file cuts a value at a NUL byte without a word: such a value
    // is refused with one.
    ReadCase{"NulInString", "[g]\ns=beam\0 triangle\n"s, string("s", "d"), "'d'",
             {"ignoring g.s: its value holds a NUL byte"}},
    ReadCase{"NulInInteger", "[g]\n  n = 1\0 2\n"s, integer("n", 7), "7",
             {"ignoring g.n: its value holds a NUL byte"}},
    ReadCase{"NulAtTheEnd", "[g]\nn=1\0\r\n"s, integer("n", 7), "7",
             {"ignoring g.n: its value holds a NUL byte"}},
    ReadCase{"NulOnlyInAnEarlierOccurrence", "[g]\nn=1\0 2\nn=3\n"s, integer("n", 7), "3",
             {"unknown or duplicate key in config: g.n"}},
    ReadCase{"NulInTheOccurrenceRead", "[g]\nn=3\n[h]\n[g]\nn=1\0 2\n"s, integer("n", 7),
             "7",
             {"ignoring g.n: its value holds a NUL byte",
              "unknown or duplicate key in config: g.n"}},
    ReadCase{"NulInAnotherGroupsKey", "[h]\nn=1\0\n[g]\nn=5\n"s, integer("n", 7), "5",
             {"unknown or duplicate key in config: h.n"}},
    ReadCase{"NulInAComment", "# a\0b\n[g]\nn=5\n"s, integer("n", 7), "5", {}}),
    [](auto const& info) { return std::string{info.param.name}; });

// --- Colours -----------------------------------------------------------------

struct ColourCase {
        const char* name;
        std::optional<std::string> value; // absent when unset
        std::optional<std::string> def;
        std::optional<std::string> colour; // as the colour parser reads it
        std::vector<std::string> warnings;
};

void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }

class ColourRead : public testing::TestWithParam<ColourCase> {};

std::optional<GdkRGBA> parse_colour(const std::optional<std::string>& text)
{
        GdkRGBA rgba{};
        if (!text)
                return std::nullopt;
        EXPECT_TRUE(gdk_rgba_parse(&rgba, text->c_str())) << *text;
        return rgba;
}

TEST_P(ColourRead, ParsesOrWarns)
{
        auto const& c = GetParam();
        auto text = std::string{"[colours]\n"} + (c.value ? "fg=" + *c.value + "\n" : "");
        std::optional<GdkRGBA> colour;
        auto reading = read_config(text, [&](ConfigReader& r) {
                colour = r.read_colour("colours", "fg", c.def);
                return "";
        });
        auto expected = parse_colour(c.colour);
        ASSERT_EQ(colour.has_value(), expected.has_value());
        if (expected) {
                EXPECT_TRUE(gdk_rgba_equal(&*colour, &*expected));
        }
        expect_warnings(reading, c.warnings);
}

INSTANTIATE_TEST_SUITE_P(ConfigReader, ColourRead, testing::Values(
    ColourCase{"Name", "grey50", std::nullopt, "#7f7f7f", {}},
    ColourCase{"Hex", "#5c5cff", "red", "rgb(92,92,255)", {}},
    ColourCase{"Functional", "rgba(255,0,0,0.5)", std::nullopt, "rgba(255,0,0,0.5)", {}},
    ColourCase{"AbsentGivesDefault", std::nullopt, "red3", "red3", {}},
    ColourCase{"AbsentWithoutDefault", std::nullopt, std::nullopt, std::nullopt, {}},
    ColourCase{"WordGivesDefault", "blurple", "red3", "red3",
               {"invalid colour 'blurple' in colours.fg"}},
    ColourCase{"EmptyGivesDefault", "", "red3", "red3",
               {"invalid colour '' in colours.fg"}},
    ColourCase{"WordWithoutDefault", "blurple", std::nullopt, std::nullopt,
               {"invalid colour 'blurple' in colours.fg"}}),
    [](auto const& info) { return std::string{info.param.name}; });

// --- Cursor shape and blink mode ------------------------------------------------

template<typename T>
struct WordCase {
        const char* name;
        std::optional<std::string> value;
        std::string def;
        T result;
        std::vector<std::string> warnings;
};

template<typename T>
void PrintTo(const WordCase<T>& c, std::ostream* os) { *os << c.name; }

std::string misc_line(const std::optional<std::string>& value, const char* key)
{
        return std::string{"[misc]\n"} + (value ? std::string{key} + "=" + *value + "\n" : "");
}

using CursorCase = WordCase<VteCursorShape>;
class CursorRead : public testing::TestWithParam<CursorCase> {};

TEST_P(CursorRead, MatchesWordsExactly)
{
        auto const& c = GetParam();
        VteCursorShape shape{};
        auto reading = read_config(misc_line(c.value, "cursor-shape"), [&](ConfigReader& r) {
                shape = r.read_cursor("misc", "cursor-shape", c.def);
                return "";
        });
        EXPECT_EQ(shape, c.result);
        expect_warnings(reading, c.warnings);
}

INSTANTIATE_TEST_SUITE_P(ConfigReader, CursorRead, testing::Values(
    CursorCase{"Block", "block", "beam", VTE_CURSOR_SHAPE_BLOCK, {}},
    CursorCase{"Beam", "beam", "block", VTE_CURSOR_SHAPE_IBEAM, {}},
    CursorCase{"Underline", "underline", "block", VTE_CURSOR_SHAPE_UNDERLINE, {}},
    CursorCase{"AbsentGivesDefault", std::nullopt, "beam", VTE_CURSOR_SHAPE_IBEAM, {}},
    CursorCase{"Capitalised", "Block", "beam", VTE_CURSOR_SHAPE_BLOCK,
               {"invalid cursor shape 'Block' in misc.cursor-shape"}},
    CursorCase{"Capitals", "BEAM", "underline", VTE_CURSOR_SHAPE_BLOCK,
               {"invalid cursor shape 'BEAM' in misc.cursor-shape"}},
    CursorCase{"Empty", "", "beam", VTE_CURSOR_SHAPE_BLOCK,
               {"invalid cursor shape '' in misc.cursor-shape"}},
    // A warning quotes a short prefix of a long value, cut between two
    // characters, and shows control characters as escapes.
    CursorCase{"LongValue", x3000, "beam", VTE_CURSOR_SHAPE_BLOCK,
               {"invalid cursor shape '" + quote_of(x3000) + "' in misc.cursor-shape"}},
    CursorCase{"LongValueOfWideCharacters", [] {
                       std::string e;
                       for (int i = 0; i < 300; ++i)
                               e += "é";
                       return e;
               }(), "beam", VTE_CURSOR_SHAPE_BLOCK,
               {"invalid cursor shape '" + [] {
                        std::string e;
                        for (int i = 0; i < 200; ++i)
                                e += "é";
                        return e;
                }() + "…' in misc.cursor-shape"}},
    CursorCase{"ControlCharacters", "be\\n\\tam\x1b[2J", "beam", VTE_CURSOR_SHAPE_BLOCK,
               {"invalid cursor shape 'be\\n\\tam\\x1b[2J' in misc.cursor-shape"}}),
    [](auto const& info) { return std::string{info.param.name}; });

using BlinkCase = WordCase<VteCursorBlinkMode>;
class BlinkRead : public testing::TestWithParam<BlinkCase> {};

TEST_P(BlinkRead, MatchesWordsExactly)
{
        auto const& c = GetParam();
        VteCursorBlinkMode mode{};
        auto reading = read_config(misc_line(c.value, "cursor-blink"), [&](ConfigReader& r) {
                mode = r.read_blink("misc", "cursor-blink", c.def);
                return "";
        });
        EXPECT_EQ(mode, c.result);
        expect_warnings(reading, c.warnings);
}

INSTANTIATE_TEST_SUITE_P(ConfigReader, BlinkRead, testing::Values(
    BlinkCase{"True", "true", "system", VTE_CURSOR_BLINK_ON, {}},
    BlinkCase{"False", "false", "system", VTE_CURSOR_BLINK_OFF, {}},
    BlinkCase{"System", "system", "true", VTE_CURSOR_BLINK_SYSTEM, {}},
    BlinkCase{"AbsentGivesDefault", std::nullopt, "false", VTE_CURSOR_BLINK_OFF, {}},
    BlinkCase{"InvalidIgnoresDefault", "on", "false", VTE_CURSOR_BLINK_SYSTEM,
              {"invalid cursor blink setting 'on' in misc.cursor-blink"}},
    BlinkCase{"Capitalised", "True", "true", VTE_CURSOR_BLINK_SYSTEM,
              {"invalid cursor blink setting 'True' in misc.cursor-blink"}}),
    [](auto const& info) { return std::string{info.param.name}; });

// --- Open-with programs --------------------------------------------------------

struct OpenWithCase {
        const char* name;
        std::string group;
        std::vector<OpenWithProgram> programs;
        std::vector<std::string> warnings;
};

void PrintTo(const OpenWithCase& c, std::ostream* os) { *os << c.name; }

class OpenWithRead : public testing::TestWithParam<OpenWithCase> {};

const std::vector<OpenWithProgram> some_default{{"fallback", {"fallback", "%"}}};

TEST_P(OpenWithRead, AcceptsCommandsWithAPlaceholder)
{
        auto const& c = GetParam();
        std::vector<OpenWithProgram> programs;
        auto reading = read_config("[open-with]\n" + c.group, [&](ConfigReader& r) {
                programs = r.read_open_with(some_default);
                return "";
        });
        EXPECT_EQ(programs, c.programs);
        expect_warnings(reading, c.warnings);
}

INSTANTIATE_TEST_SUITE_P(ConfigReader, OpenWithRead, testing::Values(
    OpenWithCase{"EmptyGroup", "", {}, {}},
    OpenWithCase{"InFileOrder",
                 "zeta=zeta --new-tab %\nalpha=\"my viewer\" '%' \"a b\"\n",
                 {{"zeta", {"zeta", "--new-tab", "%"}},
                  {"alpha", {"my viewer", "%", "a b"}}},
                 {}},
    OpenWithCase{"UnbalancedQuote", "bad=viewer 'oops %\nok=ok %\n",
                 {{"ok", {"ok", "%"}}},
                 {"ignoring open-with.bad due to malformed command: " +
                  shell_message("viewer 'oops %")}},
    OpenWithCase{"EmptyValue", "empty=\n", {},
                 {"ignoring open-with.empty due to malformed command: " + shell_message("")}},
    OpenWithCase{"PlaceholderInsideArgument", "glued=browser --url=%\n", {},
                 {"ignoring command in open-with.glued: missing '%'"}},
    OpenWithCase{"KeyGivenTwice", "a=first %\nb=b %\na=second %\n",
                 {{"a", {"second", "%"}}, {"b", {"b", "%"}}},
                 {"unknown or duplicate key in config: open-with.a"}},
    OpenWithCase{"NulInCommand", "a=viewer %\0 --run-this\nok=ok %\n"s,
                 {{"ok", {"ok", "%"}}},
                 {"ignoring open-with.a: its value holds a NUL byte"}},
    OpenWithCase{"CommandLongerThanAnyValid", "long=viewer % " + std::string(4096, 'x') + "\n",
                 {}, {"ignoring open-with.long: its value is longer than 4096 bytes"}},
    OpenWithCase{"LongNameQuotedShort", x3000 + "=viewer\n", {},
                 {"ignoring command in open-with." + quote_of(x3000) + ": missing '%'"}}),
    [](auto const& info) { return std::string{info.param.name}; });

TEST(ConfigReaderOpenWith, AbsentGroupGivesCopyOfDefault)
{
        std::vector<OpenWithProgram> programs;
        auto reading = read_config("[misc]\n", [&](ConfigReader& r) {
                programs = r.read_open_with(some_default);
                return "";
        });
        EXPECT_EQ(programs, some_default);
        expect_warnings(reading, {});
}

// --- Warnings ------------------------------------------------------------------

TEST(ConfigReaderWarnings, PrintedRawAndStoredEscaped)
{
        ConfigFile file;
        std::vector<std::string> warnings;
        auto out = stderr_of([&] {
                ConfigReader reader{file.path()};
                reader.append_warning("<b>bold</b> & 'single' \"double\"");
                warnings = reader.get_warnings();
        });
        EXPECT_EQ(out, "brackenfold: <b>bold</b> & 'single' \"double\"\n");
        EXPECT_EQ(warnings, std::vector<std::string>{
                                "• &lt;b&gt;bold&lt;/b&gt; &amp; &apos;single&apos; &quot;double&quot;"});
}

// The key file takes key names that are not UTF-8; the stored line must
// still be valid markup.
TEST(ConfigReaderWarnings, KeyNameNotUtf8IsStoredAsValidText)
{
        auto reading = read_config("[g]\nk\xff=1\n", [](ConfigReader&) { return ""; });
        EXPECT_EQ(reading.printed, "brackenfold: unknown or duplicate key in config: g.k\xff\n");
        EXPECT_EQ(reading.warnings,
                  std::vector<std::string>{"• unknown or duplicate key in config: g.k\uFFFD"});
}

// GLib's own messages quote whole lines and values.
TEST(ConfigReaderWarnings, AWarningIsAtMostAThousandCharacters)
{
        ConfigFile file;
        std::vector<std::string> warnings;
        auto message = std::string(990, 'm') + "<&>" + std::string(3000, 'x');
        auto out = stderr_of([&] {
                ConfigReader reader{file.path()};
                reader.append_warning(message);
                warnings = reader.get_warnings();
        });
        auto bounded = message.substr(0, 1000) + "…";
        EXPECT_EQ(out, printed({bounded}));
        EXPECT_EQ(warnings, bullets({bounded}));
}

// However many problems a file has, a hundred warnings are kept and
// printed and the rest counted; the report of leftover keys still comes,
// last.
TEST(ConfigReaderWarnings, AHundredAreKeptAndTheRestCounted)
{
        std::string text = "[open-with]\n";
        for (int i = 0; i < 150; ++i)
                text += "p" + std::to_string(i) + "=viewer\n";
        text += "[g]\nleft=1\n";
        ConfigFile file;
        file.write(text);
        std::vector<std::string> warnings;
        size_t count = 0;
        auto out = stderr_of([&] {
                ConfigReader reader{file.path()};
                reader.read_open_with({});
                reader.log_unknown_keys();
                warnings = reader.get_warnings();
                count = reader.warning_count();
        });
        std::vector<std::string> kept;
        for (int i = 0; i < 100; ++i)
                kept.push_back("ignoring command in open-with.p" + std::to_string(i) +
                               ": missing '%'");
        kept.push_back("unknown or duplicate key in config: g.left");
        EXPECT_EQ(warnings, bullets(kept));
        EXPECT_EQ(count, 151u);
        kept.insert(kept.end() - 1, "… and 50 more warnings");
        EXPECT_EQ(out, printed(kept));
}

struct LeftoverCase {
        size_t keys;
        std::string listed_after_20; // what follows the twentieth key
};

void PrintTo(const LeftoverCase& c, std::ostream* os) { *os << c.keys << " keys"; }

class LeftoverKeys : public testing::TestWithParam<LeftoverCase> {};

// The report names the first twenty keys left over and counts the rest.
TEST_P(LeftoverKeys, AreNamedUpToTwentyThenCounted)
{
        auto const& c = GetParam();
        std::string text = "[g]\n";
        for (size_t i = 0; i < c.keys; ++i)
                text += "k" + std::to_string(i) + "=1\n";
        auto reading = read_config(text, [](ConfigReader&) { return ""; });
        std::string listed;
        for (size_t i = 0; i < 20; ++i)
                listed += (i ? ", g.k" : "g.k") + std::to_string(i);
        expect_warnings(reading,
                        {"unknown or duplicate keys in config: " + listed + c.listed_after_20});
}

INSTANTIATE_TEST_SUITE_P(ConfigReaderWarnings, LeftoverKeys, testing::Values(
    LeftoverCase{20, ""},
    LeftoverCase{21, " and 1 other"},
    LeftoverCase{100000, " and 99980 others"}));

TEST(ConfigReaderWarnings, GetWarningsReturnsAnIndependentCopy)
{
        ConfigFile file;
        stderr_of([&] {
                ConfigReader reader{file.path()};
                EXPECT_TRUE(reader.get_warnings().empty());
                reader.append_warning("one");
                // Taken as declared: a reference into the reader would not
                // compile here (const) or would change what it holds.
                decltype(auto) first = reader.get_warnings();
                first.clear();
                first.push_back("changed");
                EXPECT_EQ(reader.get_warnings(), std::vector<std::string>{"• one"});
        });
}

TEST(ConfigReaderWarnings, ReportingUnknownKeysRemovesNothing)
{
        auto reading = read_config("[g]\nx=1\n", [](ConfigReader& r) {
                r.log_unknown_keys();
                return "";
        });
        expect_warnings(reading, {"unknown or duplicate key in config: g.x",
                                  "unknown or duplicate key in config: g.x"});
}

} // namespace
