// SPDX-License-Identifier: BSD-2-Clause
// The link pattern, compiled and run by VTE's own regex code with the flags
// the terminal uses.
#include "terminal.hh"
#include "utils.hh"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <vte/vte.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using RegexPtr = Owned<VteRegex, vte_regex_unref>;

// The first link VTE finds in `text`, or nothing.
std::optional<std::string> first_link(const std::string& text)
{
        Error error;
        auto regex = RegexPtr{vte_regex_new_for_match(
            terminal_link_pattern.data(), terminal_link_pattern.size(),
            terminal_link_pattern_flags, error.out())};
        EXPECT_TRUE(regex) << error.message();
        if (!regex)
                return std::nullopt;
        auto marked = CharPtr{vte_regex_substitute(regex.get(), text.c_str(),
                                                   "\x01$0\x02", PCRE2_SUBSTITUTE_GLOBAL,
                                                   error.out())};
        EXPECT_TRUE(marked) << error.message();
        std::string result = marked ? marked.get() : "";
        auto start = result.find('\x01');
        if (start == std::string::npos)
                return std::nullopt;
        auto end = result.find('\x02', start);
        return result.substr(start + 1, end - start - 1);
}

struct LinkCase {
        const char* text;
        std::optional<std::string> link;
};

class LinkPattern : public testing::TestWithParam<LinkCase> {};

TEST_P(LinkPattern, FindsExactlyTheLink)
{
        EXPECT_EQ(first_link(GetParam().text), GetParam().link) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkPattern,
    testing::Values(
        LinkCase{"see http://example.com/a.", "http://example.com/a"},
        LinkCase{"see https://example.com/a, and", "https://example.com/a"},
        LinkCase{"https://example.com/a!", "https://example.com/a"},
        LinkCase{"https://example.com/a?", "https://example.com/a"},
        LinkCase{"https://example.com/a;", "https://example.com/a"},
        LinkCase{"https://example.com/a:", "https://example.com/a"},
        LinkCase{"https://example.com/?q=1&r=2.", "https://example.com/?q=1&r=2"},
        LinkCase{"a.b https://example.com/x.y/z", "https://example.com/x.y/z"},
        LinkCase{"(see https://example.com/a)", "https://example.com/a"},
        LinkCase{"https://en.wikipedia.org/wiki/Foo_(bar) x",
                 "https://en.wikipedia.org/wiki/Foo_(bar)"},
        LinkCase{"(https://en.wikipedia.org/wiki/Foo_(bar))",
                 "https://en.wikipedia.org/wiki/Foo_(bar)"},
        LinkCase{"HTTPS://EXAMPLE.COM/A", "HTTPS://EXAMPLE.COM/A"},
        LinkCase{"Ftp://example.com/f", "Ftp://example.com/f"},
        LinkCase{"gopher://example.com/1", "gopher://example.com/1"},
        LinkCase{"rtmp://example.com/live", "rtmp://example.com/live"},
        LinkCase{"http://[fe80::1%eth0]:8080/x", "http://[fe80::1%eth0]:8080/x"},
        LinkCase{"http://[::1]/", "http://[::1]/"},
        LinkCase{"<https://example.com/a>", "https://example.com/a"},
        LinkCase{"\"https://example.com/a\" b", "https://example.com/a"},
        LinkCase{"https://example.com/\"q\"", "https://example.com/\"q\""},
        LinkCase{"\u201Chttps://example.com/a\u201D", "https://example.com/a"},
        LinkCase{"https://example.com/a b", "https://example.com/a"},
        LinkCase{"mailto:someone@example.com", std::nullopt},
        LinkCase{"file:///etc/passwd", std::nullopt},
        LinkCase{"http://", std::nullopt},
        LinkCase{"http://.example.com", std::nullopt},
        LinkCase{"no link here", std::nullopt}));

TEST(LinkPatternText, IsTheFixed180Bytes)
{
        EXPECT_EQ(terminal_link_pattern.size(), 180u);
        EXPECT_EQ(terminal_link_pattern_flags, guint32(PCRE2_MULTILINE | PCRE2_CASELESS));
}

} // namespace
