// SPDX-License-Identifier: BSD-2-Clause
// A real Terminal in a real window on the test's virtual display.
#pragma once

#include "terminal-private.hh"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Runs the main loop until `done` holds or `seconds` have passed; returns
// whether it holds.
bool iterate_until(const std::function<bool()>& done, double seconds = 5.0);

// Runs whatever the main loop has pending, without waiting.
void iterate_pending();

// A small top-level window, not shown, that counts in `draws` how often it
// is drawn; the caller owns the returned reference.
GtkWindow* new_counted_window(int* draws);

// Writes (or with nullopt removes) $XDG_CONFIG_HOME/brackenfold/config.
void write_config(std::string_view text);
void remove_config();

class TerminalTest : public testing::Test {
protected:
        void SetUp() override;
        void TearDown() override;

        // Clears the screen and writes `text` from its top left cell, then a
        // mark of its own (`mark_prefix` and a number); waits until the
        // terminal shows the mark, so everything before it has been parsed.
        void show_text(const std::string& text, std::string_view mark_prefix = " #");

        // Recreates the terminal, e.g. after writing a configuration that
        // must be read at construction.
        void recreate();

        // Call before destroying the terminal in a test: its child's end is
        // then expected.
        void forget_child();

        GtkWindow* window = nullptr;
        Terminal* terminal = nullptr;
        // The command the terminal runs; a child that stays put.
        std::vector<std::string> command{"sleep", "1000"};
        // The child's wait status, once it has exited (which fails the test).
        std::optional<int> child_exit_status;

private:
        void watch_child();
        static void child_exited(VteTerminal*, int status, TerminalTest* self) noexcept;

        int m_shown_texts = 0;
};
