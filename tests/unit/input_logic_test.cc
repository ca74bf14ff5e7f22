// SPDX-License-Identifier: BSD-2-Clause
#include "input-logic.hh"
#include "utils.hh"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

TEST(ZoomLimits, AreSevenStepsOfTheFactorEitherWay)
{
        EXPECT_EQ(zoom_scale_min, std::pow(1.2, -7));
        EXPECT_EQ(zoom_scale_max, std::pow(1.2, 7));
        EXPECT_EQ(zoom_scale_min, 1.0 / zoom_scale_max);
}

struct ZoomWalk {
        ZoomStep step;
        double limit;
};

class ZoomSteps : public testing::TestWithParam<ZoomWalk> {};

// Six steps stay inside the limits, the seventh lands exactly on one and
// every further step stays there.
TEST_P(ZoomSteps, SevenStepsFromOneReachTheLimitAndStay)
{
        auto [step, limit] = GetParam();
        double scale = zoom_scale_reset;
        for (int i = 1; i <= 6; ++i) {
                scale = zoom_scale_step(scale, step);
                EXPECT_NE(scale, limit) << "step " << i;
        }
        scale = zoom_scale_step(scale, step);
        EXPECT_EQ(scale, limit);
        for (int i = 0; i < 3; ++i)
                EXPECT_EQ(zoom_scale_step(scale, step), limit);
}

INSTANTIATE_TEST_SUITE_P(BothWays, ZoomSteps,
                         testing::Values(ZoomWalk{ZoomStep::in, zoom_scale_max},
                                         ZoomWalk{ZoomStep::out, zoom_scale_min}));

TEST(ZoomLimits, ClampOnlyOutsideTheRange)
{
        EXPECT_EQ(limit_zoom_scale(4.0), zoom_scale_max);
        EXPECT_EQ(limit_zoom_scale(0.1), zoom_scale_min);
        EXPECT_EQ(limit_zoom_scale(1.5), 1.5);
        EXPECT_EQ(zoom_scale_step(2.0, ZoomStep::none), 2.0);
}

struct WheelCase {
        const char* name;
        std::vector<double> deltas;
        std::vector<ZoomStep> steps;
        double accumulator;
};

class WheelAccumulator : public testing::TestWithParam<WheelCase> {};

TEST_P(WheelAccumulator, ZoomsOnceTheDeltasAddUpToOne)
{
        auto& c = GetParam();
        double accumulator = 0.0;
        std::vector<ZoomStep> steps;
        for (auto delta : c.deltas)
                steps.push_back(accumulate_wheel_delta(accumulator, delta));
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(accumulator, c.accumulator);
}

using enum ZoomStep;
INSTANTIATE_TEST_SUITE_P(
    Cases, WheelAccumulator,
    testing::Values(
        WheelCase{"ThreeSmallUpTurns", {-0.4, -0.4, -0.4}, {none, none, in}, 0.0},
        WheelCase{"OppositeTurnsCancel", {0.6, -0.6}, {none, none}, 0.0},
        WheelCase{"BigTurnIsOneStep", {-3.0}, {in}, 0.0},
        WheelCase{"DownZoomsOut", {0.5, 0.5}, {none, out}, 0.0},
        WheelCase{"JustBelowThreshold", {0.999}, {none}, 0.999},
        WheelCase{"NoDelta", {0.0, 0.0}, {none, none}, 0.0},
        WheelCase{"RestartsAfterAStep", {-1.5, -0.5, -0.5}, {in, none, in}, 0.0}),
    [](auto const& info) { return std::string{info.param.name}; });

struct DropCase {
        const char* name;
        std::vector<const char*> uris;
        std::string pasted;
};

class DroppedUris : public testing::TestWithParam<DropCase> {};

TEST_P(DroppedUris, PasteTheExactText)
{
        auto uris = GetParam().uris;
        uris.push_back(nullptr);
        EXPECT_EQ(dropped_uris_text(uris.data()), GetParam().pasted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DroppedUris,
    testing::Values(
        DropCase{"TwoFiles", {"file:///tmp/a%20b", "file:///tmp/c"}, "'/tmp/a b' '/tmp/c'"},
        DropCase{"SingleQuote", {"file:///tmp/it's"}, "'/tmp/it'\\''s'"},
        DropCase{"EscapedQuote", {"file:///tmp/it%27s"}, "'/tmp/it'\\''s'"},
        DropCase{"Newline", {"file:///tmp/a%0Ab"}, "'/tmp/a\nb'"},
        DropCase{"CommandSubstitution", {"file:///tmp/$(touch%20x)"}, "'/tmp/$(touch x)'"},
        DropCase{"Backticks", {"file:///tmp/%60id%60"}, "'/tmp/`id`'"},
        DropCase{"Semicolon", {"file:///tmp/a;rm -rf x"}, "'/tmp/a;rm -rf x'"},
        DropCase{"NonUtf8Bytes", {"file:///tmp/%FF%FEx"}, "'/tmp/\xff\xfex'"},
        // Only the scheme's seven bytes go: a host name stays in front.
        DropCase{"HostName", {"file://host/tmp/x"}, "'host/tmp/x'"},
        DropCase{"InvalidEscapeContributesNothing",
                 {"file:///tmp/a", "file:///tmp/%zz", "file:///tmp/b"}, "'/tmp/a' '/tmp/b'"},
        DropCase{"EscapedNulContributesNothing", {"file:///tmp/a%00b"}, ""},
        DropCase{"OnlyEmptyUris", {"", ""}, ""},
        DropCase{"EmptyBetween", {"file:///a", "", "file:///b"}, "'/a' '/b'"},
        DropCase{"NoUris", {}, ""},
        DropCase{"OtherSchemeUnchanged",
                 {"https://example.org/a%20b?q=1&r=$x", "file:///c"},
                 "https://example.org/a%20b?q=1&r=$x '/c'"},
        DropCase{"SchemeIsCaseSensitive", {"FILE:///tmp/x"}, "FILE:///tmp/x"}),
    [](auto const& info) { return std::string{info.param.name}; });

TEST(DroppedUris, NoListPastesNothing)
{
        EXPECT_EQ(dropped_uris_text(nullptr), "");
}

// What a shell makes of the pasted text: the number of words, then each.
std::string shell_words(const std::string& pasted, const std::string& cwd)
{
        const char* argv[] = {"/bin/sh", "-c",
                              "eval \"set -- $1\"; printf '%s' \"$#\"; printf '|%s' \"$@\"",
                              "sh", pasted.c_str(), nullptr};
        char* out = nullptr;
        int status = -1;
        Error error;
        auto ok = g_spawn_sync(cwd.c_str(), const_cast<char**>(argv), nullptr,
                               G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr, &out,
                               nullptr, &status, error.out());
        auto owned = CharPtr{out};
        EXPECT_TRUE(ok) << error.message();
        EXPECT_EQ(status, 0);
        return owned ? owned.get() : "";
}

// Whatever a file is called, the shell gets its name back as one word and
// runs nothing from it.
TEST(DroppedUris, ShellReadsEveryNameBackAsOneWordAndRunsNothing)
{
        auto dir = CharPtr{g_dir_make_tmp("drop-XXXXXX", nullptr)};
        ASSERT_TRUE(dir);
        std::string canary = std::string{dir.get()} + "/canary";
        const std::string names[] = {
            "it's",          "a b",         "a\nb",          "$(touch canary)",
            "`touch canary`", "a;touch canary", "\xff\xfe",  "'; touch canary; '",
            "$HOME",         "*",           "a\\b",          "-n",
            "x' \"$(touch canary)\" '", "\t lead and trail \t", "!!",
        };
        for (auto& name : names) {
                auto path = std::string{dir.get()} + "/" + name;
                auto escaped = CharPtr{g_uri_escape_string(path.c_str(), "/", false)};
                auto raw = "file://" + path;
                auto uri = "file://" + std::string{escaped.get()};
                for (auto& each : {raw, uri}) {
                        const char* uris[] = {each.c_str(), nullptr};
                        auto pasted = dropped_uris_text(uris);
                        EXPECT_EQ(shell_words(pasted, dir.get()), "1|" + path)
                            << "pasted: " << pasted;
                }
        }
        EXPECT_FALSE(g_file_test(canary.c_str(), G_FILE_TEST_EXISTS));
        g_remove(canary.c_str());
        g_rmdir(dir.get());
}

} // namespace
