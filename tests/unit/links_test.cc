// SPDX-License-Identifier: BSD-2-Clause
// The pure parts of links: the readable form of a link, which OSC 7 reports
// are trusted, and the arguments handed to an open-with program.
#include "terminal-private.hh"

#include <glib/gstdio.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct DisplayCase {
        const char* name;
        const char* uri;
        std::optional<std::string> expected;
};

void PrintTo(DisplayCase const& c, std::ostream* out)
{
        *out << c.name;
}

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
                    "http://ex\xef\xbf\xbd" "ample.org/a%20b"},
        // A label whose Unicode form is no UTF-8 stays as written; so does
        // one that would hide a direction override; the others are still
        // converted, each on its own.
        DisplayCase{"LabelDecodingToNonUtf8",
                    "https://a.xn--nxa00q000s00006b.b@attacker.example/login",
                    "https://a.xn--nxa00q000s00006b.b@attacker.example/login"},
        DisplayCase{"NonUtf8LabelBesideIdn",
                    "https://xn--bcher-kva.xn--nxa00q000s00006b.example/",
                    "https://bücher.xn--nxa00q000s00006b.example/"},
        DisplayCase{"DirectionOverrideLabel", "https://xn--abc-4q0a.xn--bcher-kva.de/",
                    "https://xn--abc-4q0a.bücher.de/"},
        // The user information, host and port stay as written: decoded, an
        // escaped "/", "?" or "@" would show another host than the one a
        // click opens (here attacker.example). What follows is decoded.
        // (GLib's conversion writes a label's escapes in lower case.)
        DisplayCase{"EscapedSlashInUserInformation",
                    "https://bank.example%2F@attacker.example/a%20b",
                    "https://bank.example%2F@attacker.example/a b"},
        DisplayCase{"EscapedQuestionMarkInHost",
                    "https://bank.example%3F.attacker.example/",
                    "https://bank.example%3f.attacker.example/"},
        DisplayCase{"EscapedAtInHostOfOtherScheme", "ssh://bank.example%40attacker.example/",
                    "ssh://bank.example%40attacker.example/"},
        // A label whose Unicode form holds an "@" would move the host a
        // person reads (to "r.de" here): shown as written.
        DisplayCase{"EncodedLabelDecodingToAnAt", "ftp://user:pw@www.xn--bch@r-kva.de:21/p",
                    "ftp://user:pw@www.xn--bch@r-kva.de:21/p"},
        // An empty encoded label decodes to nothing: shown as written.
        DisplayCase{"EmptyEncodedLabel", "https://xn--.xn--bcher-kva.de/",
                    "https://xn--.bücher.de/"}),
    [](auto const& info) { return std::string{info.param.name}; });

struct DirectoryCase {
        const char* name;
        // DIR stands for a fresh directory that holds a directory "a b", a
        // file "file" and links "link" to the one and "file-link" to the
        // other.
        std::string uri;
        GUriFlags flags;
        // Below DIR; nullopt when the report is not believed.
        std::optional<std::string> expected;
};

void PrintTo(DirectoryCase const& c, std::ostream* out)
{
        *out << c.name;
}

class TrustedDirectoryTest : public testing::TestWithParam<DirectoryCase> {
protected:
        void SetUp() override
        {
                auto made = CharPtr{g_dir_make_tmp("osc7-XXXXXX", nullptr)};
                ASSERT_TRUE(made);
                m_dir = MallocPtr{realpath(made.get(), nullptr)}.get();
                ASSERT_EQ(g_mkdir((m_dir + "/a b").c_str(), 0700), 0);
                ASSERT_TRUE(g_file_set_contents((m_dir + "/file").c_str(), "", 0, nullptr));
                ASSERT_EQ(symlink("a b", (m_dir + "/link").c_str()), 0);
                ASSERT_EQ(symlink("file", (m_dir + "/file-link").c_str()), 0);
        }
        void TearDown() override
        {
                for (auto name : {"/file-link", "/link", "/file"})
                        g_unlink((m_dir + name).c_str());
                g_rmdir((m_dir + "/a b").c_str());
                g_rmdir(m_dir.c_str());
        }

        std::string m_dir;
};

TEST_P(TrustedDirectoryTest, TrustsOnlyExistingDirectoriesOfThisHost)
{
        auto const& c = GetParam();
        auto text = c.uri;
        if (auto at = text.find("DIR"); at != std::string::npos)
                text.replace(at, 3, m_dir);
        Error error;
        auto uri = UriPtr{g_uri_parse(text.c_str(), c.flags, error.out())};
        ASSERT_TRUE(uri) << error.message();
        auto expected = c.expected ? std::optional{m_dir + *c.expected} : std::nullopt;
        EXPECT_EQ(Utils::trusted_directory(uri.get(), "here.example"), expected);
}

constexpr auto encoded = G_URI_FLAGS_ENCODED;
constexpr auto encoded_non_dns = GUriFlags(G_URI_FLAGS_ENCODED | G_URI_FLAGS_NON_DNS);

INSTANTIATE_TEST_SUITE_P(
    Cases, TrustedDirectoryTest,
    testing::Values(
        DirectoryCase{"ThisHost", "file://here.exampleDIR/a%20b", encoded, "/a b"},
        DirectoryCase{"DecodedByParser", "file://here.exampleDIR/a%20b", G_URI_FLAGS_NONE,
                      "/a b"},
        DirectoryCase{"OtherHost", "file://there.exampleDIR", encoded, std::nullopt},
        DirectoryCase{"LongerHost", "file://here.example.orgDIR", encoded, std::nullopt},
        DirectoryCase{"EmptyHost", "file://DIR", encoded, std::nullopt},
        DirectoryCase{"NulInPath", "file://here.exampleDIR%00x", encoded, std::nullopt},
        DirectoryCase{"EscapedNonDnsHost", "file://here%2EexampleDIR", encoded_non_dns, ""},
        DirectoryCase{"BadEscapedNonDnsHost", "file://here%00exampleDIR", encoded_non_dns,
                      std::nullopt},
        // Only what resolves to an existing directory is believed, and it
        // is handed on resolved.
        DirectoryCase{"DoubledAndTrailingSlashes", "file://here.exampleDIR//a%20b//", encoded,
                      "/a b"},
        DirectoryCase{"DotsResolved", "file://here.exampleDIR/a%20b/./../a%20b/.", encoded,
                      "/a b"},
        DirectoryCase{"LinkToADirectory", "file://here.exampleDIR/link/", encoded, "/a b"},
        DirectoryCase{"AFile", "file://here.exampleDIR/file", encoded, std::nullopt},
        DirectoryCase{"AFileWithATrailingSlash", "file://here.exampleDIR/file/", encoded,
                      std::nullopt},
        DirectoryCase{"AFileWithADot", "file://here.exampleDIR/file/.", encoded, std::nullopt},
        DirectoryCase{"AFileReachedThroughDots", "file://here.exampleDIR/a%20b/../file/",
                      encoded, std::nullopt},
        DirectoryCase{"LinkToAFile", "file://here.exampleDIR/file-link/", encoded,
                      std::nullopt},
        DirectoryCase{"Missing", "file://here.exampleDIR/missing/", encoded, std::nullopt},
        DirectoryCase{"SystemFile", "file://here.example/etc/passwd/", encoded, std::nullopt},
        DirectoryCase{"DoubledSlashFile", "file://here.example//etc//passwd/", encoded,
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
