// SPDX-License-Identifier: BSD-2-Clause
// Loading time of the configuration against the size of the file.
#include "config.hh"

#include <benchmark/benchmark.h>
#include <glib/gstdio.h>

#include <cstdio>
#include <string>

namespace {

constexpr const char* known_keys[] = {
    "[misc]",
    "autohide-mouse=true", "cursor-shape=beam", "cursor-blink=false",
    "font=Monospace 11", "scrollback=5000", "scrollbar=false",
    "allow-hyperlinks=true", "prefer-osc7=false", "resize-hints=false",
    "bold-is-bright=true",
    "[colours]",
    "foreground=#dcdccc", "background=#3f3f3f", "cursor.foreground=black",
    "cursor.background=white", "bold=#ffffff",
    "normal.black=#000000", "bright.black=grey50", "normal.red=red3",
    "bright.red=red", "normal.green=green3", "bright.green=green",
    "normal.yellow=yellow3", "bright.yellow=yellow", "normal.blue=blue2",
    "bright.blue=#5c5cff", "normal.magenta=magenta3", "bright.magenta=magenta",
    "normal.cyan=cyan3", "bright.cyan=cyan", "normal.white=grey90",
    "bright.white=white",
};

// `keys` settings: up to half of them known ones, the rest programs in the
// open-with group, their commands plain or with quoted arguments.
std::string config_text(int keys, bool quoted)
{
        std::string text;
        auto known = 0;
        for (auto line : known_keys) {
                if (line[0] != '[' && known >= keys / 2)
                        break;
                text += line;
                text += '\n';
                known += line[0] != '[';
        }
        text += "[open-with]\n";
        for (auto i = known; i < keys; ++i) {
                auto n = std::to_string(i);
                text += "program" + n + "=program" + n + " --new-tab " +
                        (quoted ? "--profile 'profile " + n + "'" : "--profile=" + n) +
                        " %\n";
        }
        return text;
}

// Every key unknown: the leftovers make up one long warning.
std::string unknown_text(int keys)
{
        std::string text = "[misc]\n";
        for (auto i = 0; i < keys; ++i)
                text += "unknown" + std::to_string(i) + "=" + std::to_string(i) + "\n";
        return text;
}

class ConfigFile {
public:
        explicit ConfigFile(const std::string& text)
            : m_dir{CharPtr{g_dir_make_tmp("brackenfold-bench-XXXXXX", nullptr)}.get()},
              m_path{m_dir + "/config"}
        {
                g_file_set_contents(m_path.c_str(), text.c_str(), gssize(text.size()), nullptr);
        }
        ~ConfigFile()
        {
                g_remove(m_path.c_str());
                g_rmdir(m_dir.c_str());
        }
        const std::string& path() const { return m_path; }

private:
        std::string m_dir;
        std::string m_path;
};

void run(benchmark::State& state, const std::string& text)
{
        ConfigFile file{text};
        size_t programs = 0;
        for (auto _ : state) {
                Config config{file.path()};
                programs = config.open_with.size();
                benchmark::DoNotOptimize(config.palette);
        }
        state.SetComplexityN(state.range(0));
        state.counters["programs"] = double(programs);
        state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// What GLib alone spends on the same file: load it, read each open-with
// value once, free it. The model cannot be faster than this.
void BM_KeyFileAlone(benchmark::State& state)
{
        ConfigFile file{config_text(int(state.range(0)), false)};
        for (auto _ : state) {
                auto key_file = KeyFilePtr{g_key_file_new()};
                g_key_file_load_from_file(key_file.get(), file.path().c_str(),
                                          G_KEY_FILE_NONE, nullptr);
                auto keys = StrvPtr{g_key_file_get_keys(key_file.get(), "open-with",
                                                        nullptr, nullptr)};
                for (auto key = keys.get(); key && *key; ++key)
                        CharPtr{g_key_file_get_string(key_file.get(), "open-with", *key, nullptr)};
        }
        state.SetComplexityN(state.range(0));
}

void BM_Load(benchmark::State& state)
{
        run(state, config_text(int(state.range(0)), false));
}

void BM_LoadQuoted(benchmark::State& state)
{
        run(state, config_text(int(state.range(0)), true));
}

void BM_LoadUnknownKeys(benchmark::State& state)
{
        run(state, unknown_text(int(state.range(0))));
}

BENCHMARK(BM_KeyFileAlone)->Arg(10)->Arg(40)->Arg(1000)->Arg(100000)->Complexity()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load)->Arg(10)->Arg(40)->Arg(1000)->Arg(100000)->Complexity()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadQuoted)->Arg(10)->Arg(40)->Arg(1000)->Arg(100000)->Complexity()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadUnknownKeys)->Arg(10)->Arg(40)->Arg(1000)->Arg(100000)->Complexity()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
        // The unknown keys are reported on standard error on every load.
        if (!std::freopen("/dev/null", "w", stderr))
                return 1;
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
}
