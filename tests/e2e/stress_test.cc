// SPDX-License-Identifier: BSD-2-Clause
// The stress run of bench/stress (200 MB of hostile output while the
// configuration is reloaded 100 times): the program must survive, keep
// answering and give back what it allocated on the way.
#include "harness.hh"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <sstream>

namespace {

std::map<std::string, std::string> parse_results(const std::string& text)
{
        std::map<std::string, std::string> results;
        std::istringstream lines{text};
        for (std::string line; std::getline(lines, line);) {
                auto eq = line.find('=');
                if (eq != std::string::npos)
                        results[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return results;
}

size_t count_lines(const std::string& text, const std::string& line)
{
        size_t n = 0;
        std::istringstream lines{text};
        for (std::string l; std::getline(lines, l);)
                n += l == line;
        return n;
}

TEST(Stress, SurvivesHostileOutputWhileReloadingAndGivesMemoryBack)
{
        TempDir dir;
        g_mkdir_with_parents(dir.file("config/brackenfold").c_str(), 0700);
        auto config = dir.file("config/brackenfold/config");
        write_file(config, "");
        auto result = dir.file("result");
        auto child = std::string{g_getenv("TEST_SRCDIR")} + "/../bench/stress-child.py";

        Brackenfold app{{"python3", child, result, config, "200", "100"},
                        {{"XDG_CONFIG_HOME", dir.file("config")}}};
        ASSERT_EQ(app.wait_exit(120), 0) << app.err();

        auto results = parse_results(read_file(result));
        ASSERT_FALSE(results.empty()) << "the child did not finish\n" << app.err();
        EXPECT_EQ(results["error"], "");
        EXPECT_EQ(results["reloads"], "100");
        EXPECT_NE(results["answer"], "none");
        EXPECT_EQ(results["alive"], "1");
        // Every other reload reads the faulty file, and so does the warm-up:
        // each of them reports it once, so no reload was lost.
        EXPECT_EQ(count_lines(app.err(), "brackenfold: invalid cursor shape 'triangle' "
                                         "in misc.cursor-shape"),
                  51u);

        auto start = std::stol(results["rss_start_kib"]);
        auto end = std::stol(results["rss_end_kib"]);
        std::cout << "VmRSS " << start << " kB at the start, " << end << " kB at the end, "
                  << results["rss_peak_kib"] << " kB at the peak\n";
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer keeps freed memory in quarantine, so the figure
        // says nothing there.
        EXPECT_LE(end, start + start / 10);
#endif
}

} // namespace
