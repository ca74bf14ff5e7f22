// SPDX-License-Identifier: BSD-2-Clause
#include "fixture.hh"

#include "vte-compat.hh"

#include <glib/gstdio.h>

#include <fstream>

bool iterate_until(const std::function<bool()>& done, double seconds)
{
        auto deadline = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
        while (!done()) {
                if (g_get_monotonic_time() > deadline)
                        return false;
                if (!g_main_context_iteration(nullptr, false))
                        g_usleep(1000);
        }
        return true;
}

void iterate_pending()
{
        while (g_main_context_iteration(nullptr, false))
                ;
}

static std::string config_path()
{
        return CharPtr{g_build_filename(g_get_user_config_dir(), "brackenfold",
                                        "config", nullptr)}.get();
}

GtkWindow* new_counted_window(int* draws)
{
        auto window = GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
        gtk_window_set_default_size(window, 120, 80);
        g_signal_connect(window, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, int* draws) {
                                 ++*draws;
                                 return false;
                         }),
                         draws);
        return window;
}

void write_config(std::string_view text)
{
        auto dir = CharPtr{g_build_filename(g_get_user_config_dir(), "brackenfold", nullptr)};
        g_mkdir_with_parents(dir.get(), 0700);
        std::ofstream{config_path(), std::ios::binary | std::ios::trunc} << text;
}

void remove_config()
{
        g_unlink(config_path().c_str());
}

void TerminalTest::SetUp()
{
        window = GTK_WINDOW(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
        recreate();
}

// No test expects its child to go: one that does fails the test it went
// in, and only that one.
void TerminalTest::child_exited(VteTerminal*, int status, TerminalTest* self) noexcept
{
        self->child_exit_status = status;
        std::string command;
        for (auto const& word : self->command)
                command += (command.empty() ? "" : " ") + word;
        // What the child last wrote says why it went.
        auto shown = vte_compat_text(self->terminal->vte);
        ADD_FAILURE() << "the terminal's child exited during the test (wait status "
                      << status << "): " << command << "\nThe terminal shows:\n"
                      << (shown ? shown.get() : "");
}

// The template ends the program's main loop when the child exits. These
// tests run none: gtk_main_quit would be a failed precondition, fatal here,
// and would end every test after this one. The fixture takes the binding
// over from the moment the terminal exists.
void TerminalTest::watch_child()
{
        g_signal_handlers_disconnect_by_func(terminal->vte, (gpointer)gtk_main_quit, terminal);
        g_signal_connect(terminal->vte, "child-exited", G_CALLBACK(child_exited), this);
}

// Destroying the terminal ends the child; that is no failure.
void TerminalTest::forget_child()
{
        if (terminal && terminal->vte)
                g_signal_handlers_disconnect_by_func(terminal->vte, (gpointer)child_exited, this);
}

void TerminalTest::recreate()
{
        if (terminal) {
                forget_child();
                gtk_widget_destroy(GTK_WIDGET(terminal));
        }
        std::vector<char*> argv{const_cast<char*>("brackenfold")};
        for (auto& word : command)
                argv.push_back(word.data());
        argv.push_back(nullptr);
        terminal = terminal_new(int(argv.size() - 1), argv.data(),
                                GTK_CONTAINER(window), window);
        ASSERT_NE(terminal, nullptr);
        watch_child();
        child_exit_status.reset();
        gtk_widget_show_all(GTK_WIDGET(window));
        iterate_until([&] { return terminal->priv->child_pid != 0; });
}

void TerminalTest::TearDown()
{
        forget_child();
        gtk_widget_destroy(GTK_WIDGET(window));
        g_object_unref(window);
        window = nullptr;
        terminal = nullptr;
        remove_config();
        iterate_pending();
}

void TerminalTest::show_text(const std::string& text, std::string_view mark_prefix)
{
        auto mark = std::string{mark_prefix} + std::to_string(++m_shown_texts);
        auto bytes = "\033[H\033[2J" + text + mark;
        vte_terminal_feed(terminal->vte, bytes.data(), gssize(bytes.size()));
        ASSERT_TRUE(iterate_until([&] {
                auto shown = vte_compat_text(terminal->vte);
                return shown && std::string_view{shown.get()}.find(mark) != std::string_view::npos;
        }));
}
