// SPDX-License-Identifier: BSD-2-Clause
#include "utils.hh"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct GlibSplit {
        std::optional<std::vector<std::string>> argv;
        std::string message;
};

GlibSplit glib_split(const std::string& command)
{
        char** argv = nullptr;
        Error error;
        if (!g_shell_parse_argv(command.c_str(), nullptr, &argv, error.out()))
                return {std::nullopt, error.message()};
        return {strv_to_vector(StrvPtr{argv}.get()), ""};
}

// shell_split takes a short way for plain commands; whichever way it takes,
// it must answer exactly as GLib's parser does.
class ShellSplit : public testing::TestWithParam<std::string> {};

TEST_P(ShellSplit, AgreesWithGlib)
{
        auto const& command = GetParam();
        Error error;
        auto argv = shell_split(command, error.out());
        auto expected = glib_split(command);
        EXPECT_EQ(argv, expected.argv);
        EXPECT_EQ(error.message(), expected.message);
        if (!argv) {
                ASSERT_TRUE(error);
                EXPECT_EQ(error.get()->domain, G_SHELL_ERROR);
        }
}

INSTANTIATE_TEST_SUITE_P(Utils, ShellSplit, testing::Values(
    "viewer %",
    "  viewer   --new-tab  %  ",
    "browser --url=% --x=~/a;b|c&d $HOME `x` *?",
    "caf\xc3\xa9 \xff %",
    "carriage\rreturn %\v\f",
    "",
    "   ",
    "\t",
    "viewer\t%",
    "viewer\n%",
    "viewer # comment %",
    "viewer a#b %",
    "#only a comment",
    "viewer 'quoted %",
    "viewer \"a b\" '%'",
    "viewer a\\ b %",
    "viewer trailing\\",
    "viewer --profile 'my profile' %",
    "viewer --title=\"a 'b' c\" '\"%\"' %",
    "viewer 'a'\"b\"c '' \"\" %",
    "viewer 'back\\slash' %",
    "viewer \"back\\slash\" %",
    "viewer \"a\\\"b\" %",
    "viewer 'a#b' x'#'y %",
    "viewer 'tab\tand\nnewline' %",
    "viewer \"unterminated %",
    "viewer ''#not-a-comment %",
    "viewer\t#not-a-comment %",
    "''",
    "\"\" \t ''"));

} // namespace
