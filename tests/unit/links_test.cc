// SPDX-License-Identifier: BSD-2-Clause
// The pure parts of links: the readable form of a link, which OSC 7 reports
// are trusted, and the arguments handed to an open-with program.
#include "terminal-private.hh"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct DisplayCase {
        const char* name;
        const char* uri;
        std::optional<std::string> expected;
};

class DisplayUriTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayUriTest, ShowsTheLinkAsAPersonReadsIt)
{
        EXPECT_EQ(Utils::display_uri(GetParam().uri), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayUriTest,
    testing::Values(
        DisplayCase{"Absent", nullptr, std::nullopt},
        DisplayCase{"Unescaped", "https://example.com/a%20b%2Fc", "https://example.com/a b/c"},
        // An invalid escape keeps the raw text, but the host is still shown
        // in Unicode.
        DisplayCase{"InvalidEscape", "https://xn--bcher-kva.de%zz/x%20y",
                    "https://bücher.de%zz/x%20y"},
        DisplayCase{"NulEscape", "https://xn--bcher-kva.de/a%00b%20c",
                    "https://bücher.de/a%00b%20c"},
        DisplayCase{"CapitalScheme", "HTTPS://xn--bcher-kva.de/a%20b",
                    "HTTPS://xn--bcher-kva.de/a b"},
        DisplayCase{"OtherScheme", "mailto:j%C3%BCrgen@xn--bcher-kva.de",
                    "mailto:jürgen@xn--bcher-kva.de"},
        DisplayCase{"FileScheme", "file:///tmp/xn--bcher-kva.de/a%20b",
                    "file:///tmp/xn--bcher-kva.de/a b"},
        DisplayCase{"PortAndQueryWithoutPath", "http://www.xn--bcher-kva.de:8080?q=%C3%BC",
                    "http://www.bücher.de:8080?q=ü"},
        DisplayCase{"UserPortPathQuery",
                    "ftp://user@www.xn--bcher-kva.de:21/p%20q?x=1#f",
                    "ftp://user@www.bücher.de:21/p q?x=1#f"},
        // The user information sticks to the first label, which is then no
        // longer an encoded one: shown as it is.
        DisplayCase{"UserOnEncodedLabel", "https://user@xn--bcher-kva.de/p",
                    "https://user@xn--bcher-kva.de/p"},
        DisplayCase{"Gopher", "gopher://xn--bcher-kva.de", "gopher://bücher.de"},
        DisplayCase{"Rtmp", "rtmp://xn--bcher-kva.de/live", "rtmp://bücher.de/live"},
        DisplayCase{"PlainHost", "https://example.com:443/", "https://example.com:443/"},
        DisplayCase{"EmptyHost", "http://", "http://"},
        // Escapes that decode to bytes which are not UTF-8: the link as
        // written, so that neither the host conversion nor the tooltip sees
        // invalid text. (GLib's conversion writes an ASCII host in lower case.)
        DisplayCase{"EscapedLeadBytesInHost",
                    "http://%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0%F0/x",
                    "http://%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0%f0/x"},
        DisplayCase{"EscapedInvalidByteInPath", "http://xn--bcher-kva.de/%FF",
                    "http://bücher.de/%FF"},
        DisplayCase{"EscapedInvalidByteOtherScheme", "mailto:%E9t%E9@example.org",
                    "mailto:%E9t%E9@example.org"},
        // Raw bytes that are not UTF-8 become replacement characters.
        DisplayCase{"RawInvalidBytes", "http://ex\xff" "ample.org/a%20b",
                    "http://ex\xef\xbf\xbd" "ample.org/a%20b"}),
    [](auto const& info) { return std::string{info.param.name}; });

struct DirectoryCase {
        const char* name;
        const char* uri;
        GUriFlags flags;
        std::optional<std::string> expected;
};

class TrustedDirectoryTest : public testing::TestWithParam<DirectoryCase> {};

TEST_P(TrustedDirectoryTest, TrustsOnlyThisHost)
{
        auto const& c = GetParam();
        Error error;
        auto uri = UriPtr{g_uri_parse(c.uri, c.flags, error.out())};
        ASSERT_TRUE(uri) << error.message();
        EXPECT_EQ(trusted_directory(uri.get(), "here.example"), c.expected);
}

constexpr auto encoded = G_URI_FLAGS_ENCODED;
constexpr auto encoded_non_dns = GUriFlags(G_URI_FLAGS_ENCODED | G_URI_FLAGS_NON_DNS);

INSTANTIATE_TEST_SUITE_P(
    Cases, TrustedDirectoryTest,
    testing::Values(
        DirectoryCase{"ThisHost", "file://here.example/tmp/a%20b", encoded, "/tmp/a b"},
        DirectoryCase{"DecodedByParser", "file://here.example/tmp/a%20b", G_URI_FLAGS_NONE,
                      "/tmp/a b"},
        DirectoryCase{"OtherHost", "file://there.example/tmp", encoded, std::nullopt},
        DirectoryCase{"LongerHost", "file://here.example.org/tmp", encoded, std::nullopt},
        DirectoryCase{"EmptyHost", "file:///tmp", encoded, std::nullopt},
        DirectoryCase{"NulInPath", "file://here.example/tmp%00x", encoded, std::nullopt},
        DirectoryCase{"EscapedNonDnsHost", "file://here%2Eexample/tmp", encoded_non_dns, "/tmp"},
        DirectoryCase{"BadEscapedNonDnsHost", "file://here%00example/tmp", encoded_non_dns,
                      std::nullopt}),
    [](auto const& info) { return std::string{info.param.name}; });

TEST(OpenWithArgv, ReplacesOnlyWholePercentArguments)
{
        std::vector<std::string> argv{"prog", "--url=%", "%", "-x", "%", "%%"};
        EXPECT_EQ(open_with_argv(argv, "https://a.example/?q=%25"),
                  (std::vector<std::string>{"prog", "--url=%", "https://a.example/?q=%25",
                                            "-x", "https://a.example/?q=%25", "%%"}));
}

} // namespace
