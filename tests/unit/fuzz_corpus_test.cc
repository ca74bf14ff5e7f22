// SPDX-License-Identifier: BSD-2-Clause
// Replays the fuzzers' corpora with the normal build, so the inputs that
// once broke the reader, a tooltip, a paste or the directory check stay
// covered by every test run.
#include "config.hh"
#include "config_files.hh"
#include "link_checks.hh"
#include "osc7_checks.hh"

#include <pango/pango.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> corpus_files(const char* corpus)
{
        auto srcdir = g_getenv("TEST_SRCDIR");
        auto dir_path = std::string{srcdir ? srcdir : "tests"} + "/fuzz/" + corpus;
        std::vector<std::string> files;
        Error error;
        auto dir = Owned<GDir, g_dir_close>{g_dir_open(dir_path.c_str(), 0, error.out())};
        if (!dir)
                return files;
        while (auto name = g_dir_read_name(dir.get()))
                files.push_back(dir_path + "/" + name);
        return files;
}

bool is_markup(const std::string& text)
{
        return pango_parse_markup(text.c_str(), -1, 0, nullptr, nullptr, nullptr, nullptr);
}

TEST(FuzzCorpus, EveryInputLoadsIntoASoundConfig)
{
        auto files = corpus_files("corpus");
        ASSERT_GE(files.size(), 5u) << "seed corpus not found; is TEST_SRCDIR set?";
        for (auto const& path : files) {
                SCOPED_TRACE(path);
                std::unique_ptr<Config> config;
                auto out = stderr_of([&] { config = std::make_unique<Config>(path); });
                auto warnings = config->get_warnings();
                EXPECT_EQ(warnings.empty(), out.empty());
                for (auto const& line : warnings) {
                        EXPECT_TRUE(line.starts_with("• ")) << line;
                        EXPECT_TRUE(g_utf8_validate(line.c_str(), -1, nullptr)) << line;
                        EXPECT_TRUE(is_markup(line)) << line;
                }
                for (auto const& program : config->open_with)
                        EXPECT_NE(std::ranges::find(program.argv, "%"), program.argv.end());
                EXPECT_NE(config->font, nullptr);
        }
}

std::string file_text(const std::string& path)
{
        char* text = nullptr;
        gsize size = 0;
        Error error;
        if (!g_file_get_contents(path.c_str(), &text, &size, error.out()))
                throw std::runtime_error{error.message()};
        return {CharPtr{text}.get(), size};
}

TEST(FuzzCorpus, LinksShowTheirHostAndDroppedNamesStayOneWord)
{
        auto files = corpus_files("links-corpus");
        ASSERT_GE(files.size(), 5u) << "link corpus not found; is TEST_SRCDIR set?";
        for (auto const& path : files)
                EXPECT_EQ(link_checks::input_fault(file_text(path)), std::nullopt) << path;
}

TEST(FuzzCorpus, BelievedDirectoryReportsNameExistingDirectories)
{
        auto files = corpus_files("osc7-corpus");
        ASSERT_GE(files.size(), 5u) << "directory report corpus not found; is TEST_SRCDIR set?";
        for (auto const& path : files)
                EXPECT_EQ(osc7_checks::report_fault(file_text(path)), std::nullopt) << path;
}

} // namespace
