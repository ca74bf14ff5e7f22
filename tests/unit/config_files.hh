// SPDX-License-Identifier: BSD-2-Clause
// Configuration files on disk for the reader and model tests.
#pragma once

#include "utils.hh"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

// A private directory holding the one file "config", removed afterwards
// whether the test left a file or a directory in its place.
class ConfigFile {
public:
        ConfigFile()
            : m_dir{CharPtr{g_dir_make_tmp("brackenfold-config-XXXXXX", nullptr)}.get()},
              m_path{m_dir + "/config"}
        {
        }
        ConfigFile(ConfigFile const&) = delete;
        ConfigFile& operator=(ConfigFile const&) = delete;
        ~ConfigFile()
        {
                if (g_remove(m_path.c_str()) != 0)
                        g_rmdir(m_path.c_str());
                g_rmdir(m_dir.c_str());
        }

        const std::string& path() const { return m_path; }

        void write(std::string_view bytes) const
        {
                ASSERT_TRUE(g_file_set_contents(m_path.c_str(), bytes.data(),
                                                gssize(bytes.size()), nullptr));
        }

        void make_directory() const { ASSERT_EQ(g_mkdir(m_path.c_str(), 0700), 0); }

private:
        std::string m_dir;
        std::string m_path;
};

// What standard error received while `body` ran.
template<typename F>
std::string stderr_of(F&& body)
{
        testing::internal::CaptureStderr();
        body();
        return testing::internal::GetCapturedStderr();
}

// The stored form of a warning: behind a bullet, escaped for markup.
inline std::string bullet(const std::string& message)
{
        return "• " + std::string{CharPtr{g_markup_escape_text(message.c_str(), -1)}.get()};
}

inline std::vector<std::string> bullets(const std::vector<std::string>& messages)
{
        std::vector<std::string> lines;
        for (auto const& message : messages)
                lines.push_back(bullet(message));
        return lines;
}

// What standard error shows for these warnings: each on its own line.
inline std::string printed(const std::vector<std::string>& messages)
{
        std::string text;
        for (auto const& message : messages)
                text += "brackenfold: " + message + "\n";
        return text;
}

// GLib's own texts, which differ between its versions, taken from GLib.
inline std::string loader_message(const std::string& path)
{
        auto key_file = KeyFilePtr{g_key_file_new()};
        Error error;
        g_key_file_load_from_file(key_file.get(), path.c_str(), G_KEY_FILE_NONE, error.out());
        return error.message();
}

inline std::string string_message(std::string_view text, const char* group, const char* key)
{
        auto key_file = KeyFilePtr{g_key_file_new()};
        g_key_file_load_from_data(key_file.get(), text.data(), text.size(),
                                  G_KEY_FILE_NONE, nullptr);
        Error error;
        CharPtr value{g_key_file_get_string(key_file.get(), group, key, error.out())};
        return error.message();
}

inline std::string shell_message(const char* command)
{
        char** argv = nullptr;
        Error error;
        g_shell_parse_argv(command, nullptr, &argv, error.out());
        StrvPtr owned{argv};
        return error.message();
}
