// SPDX-License-Identifier: BSD-2-Clause
#include "utils.hh"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Words = std::vector<std::string>;

// A command line of the open-with group and how it splits: its words, or
// the shell error that the configuration report then quotes.
struct SplitCase {
        std::string command;
        std::optional<Words> words;
        GShellError error = G_SHELL_ERROR_FAILED;
};

SplitCase words(std::string command, Words words)
{
        return {std::move(command), std::move(words)};
}

SplitCase fails(std::string command, GShellError error)
{
        return {std::move(command), std::nullopt, error};
}

class ShellSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(ShellSplit, SplitsAsTheShellWould)
{
        auto const& c = GetParam();
        Error error;
        auto argv = shell_split(c.command, error.out());
        EXPECT_EQ(argv, c.words);
        if (c.words) {
                EXPECT_FALSE(error) << error.message();
        } else {
                EXPECT_TRUE(error.matches(G_SHELL_ERROR, c.error)) << error.message();
                EXPECT_STRNE(error.message(), "");
        }
}

INSTANTIATE_TEST_SUITE_P(Utils, ShellSplit, testing::Values(
    words("viewer %", {"viewer", "%"}),
    words("  viewer   --new-tab  %  ", {"viewer", "--new-tab", "%"}),
    // Only quoting and blanks are special: no expansion, no operators.
    words("browser --url=% --x=~/a;b|c&d $HOME `x` *?",
          {"browser", "--url=%", "--x=~/a;b|c&d", "$HOME", "`x`", "*?"}),
    words("caf\xc3\xa9 \xff %", {"caf\xc3\xa9", "\xff", "%"}),
    words("carriage\rreturn %\v\f", {"carriage\rreturn", "%\v\f"}),
    fails("", G_SHELL_ERROR_EMPTY_STRING),
    fails("   ", G_SHELL_ERROR_EMPTY_STRING),
    fails("\t", G_SHELL_ERROR_EMPTY_STRING),
    words("viewer\t%", {"viewer", "%"}),
    words("viewer\n%", {"viewer", "%"}),
    words("viewer # comment %", {"viewer"}),
    words("viewer a#b %", {"viewer", "a#b", "%"}),
    fails("#only a comment", G_SHELL_ERROR_EMPTY_STRING),
    fails("viewer 'quoted %", G_SHELL_ERROR_BAD_QUOTING),
    words("viewer \"a b\" '%'", {"viewer", "a b", "%"}),
    words("viewer a\\ b %", {"viewer", "a b", "%"}),
    words("viewer \\\n%", {"viewer", "%"}),
    fails("viewer trailing\\", G_SHELL_ERROR_BAD_QUOTING),
    words("viewer --profile 'my profile' %", {"viewer", "--profile", "my profile", "%"}),
    words("viewer --title=\"a 'b' c\" '\"%\"' %",
          {"viewer", "--title=a 'b' c", "\"%\"", "%"}),
    words("viewer 'a'\"b\"c '' \"\" %", {"viewer", "abc", "", "", "%"}),
    words("viewer 'back\\slash' %", {"viewer", "back\\slash", "%"}),
    words("viewer \"back\\slash\" %", {"viewer", "back\\slash", "%"}),
    words("viewer \"a\\\"b\" %", {"viewer", "a\"b", "%"}),
    words("viewer 'a#b' x'#'y %", {"viewer", "a#b", "x#y", "%"}),
    words("viewer 'tab\tand\nnewline' %", {"viewer", "tab\tand\nnewline", "%"}),
    fails("viewer \"unterminated %", G_SHELL_ERROR_BAD_QUOTING),
    // A comment starts only at a word that follows a space.
    words("viewer ''#not-a-comment %", {"viewer", "#not-a-comment", "%"}),
    words("viewer\t#not-a-comment %", {"viewer", "#not-a-comment", "%"}),
    words("''", {""}),
    words("\"\" \t ''", {"", ""})));

} // namespace
