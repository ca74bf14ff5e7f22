// SPDX-License-Identifier: BSD-2-Clause
// How long one load of the configuration takes: reading the file, applying
// every setting and rebuilding the link menu, on a real terminal widget.
#include "terminal-private.hh"

#include <benchmark/benchmark.h>
#include <glib/gstdio.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string read_text(const char* path)
{
        std::ifstream in{path, std::ios::binary};
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
}

void write_config(const std::string& text)
{
        auto dir = CharPtr{g_build_filename(g_get_user_config_dir(), "brackenfold", nullptr)};
        g_mkdir_with_parents(dir.get(), 0700);
        auto path = CharPtr{g_build_filename(dir.get(), "config", nullptr)};
        std::ofstream{path.get(), std::ios::binary | std::ios::trunc} << text;
}

void iterate_pending()
{
        while (g_main_context_iteration(nullptr, false))
                ;
}

// range(0): 1 for the 200-line soak configuration, 0 for no file at all.
void BM_LoadConfig(benchmark::State& state)
{
        write_config(state.range(0) ? read_text(SOAK_CONFIG) : std::string{});

        auto window = RefPtr<GtkWindow>{
            GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))};
        char program[] = "brackenfold", sleep[] = "sleep", forever[] = "1000000";
        char* argv[] = {program, sleep, forever, nullptr};
        auto terminal = terminal_new(3, argv, GTK_CONTAINER(window.get()), window.get());
        gtk_widget_show_all(GTK_WIDGET(window.get()));
        iterate_pending();

        for (auto _ : state) {
                terminal_load_config(terminal, false);
                state.PauseTiming();
                iterate_pending();
                state.ResumeTiming();
        }
        state.counters["open_with_items"] = double(terminal->priv->open_with_items.size());

        g_signal_handlers_disconnect_by_func(terminal->vte, (gpointer)gtk_main_quit, terminal);
        gtk_widget_destroy(GTK_WIDGET(window.get()));
        iterate_pending();
}

BENCHMARK(BM_LoadConfig)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
        // A private configuration directory, set before anything asks for it.
        auto home = CharPtr{g_dir_make_tmp("brackenfold-bench-XXXXXX", nullptr)};
        g_setenv("XDG_CONFIG_HOME", home.get(), true);
        gtk_init(nullptr, nullptr);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        auto config = CharPtr{g_build_filename(home.get(), "brackenfold", "config", nullptr)};
        g_unlink(config.get());
        auto dir = CharPtr{g_build_filename(home.get(), "brackenfold", nullptr)};
        g_rmdir(dir.get());
        g_rmdir(home.get());
        return 0;
}
