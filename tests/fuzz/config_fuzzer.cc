// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to the whole configuration model as its file.
#include "config.hh"

#include <glib/gstdio.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// One file per fuzzing process, rewritten for every input and removed when
// the process exits.
class FuzzFile {
public:
        FuzzFile() : m_dir{make_dir()}, m_path{m_dir + "/config"} {}
        ~FuzzFile()
        {
                g_remove(m_path.c_str());
                g_rmdir(m_dir.c_str());
        }
        const std::string& path() const { return m_path; }

private:
        static std::string make_dir()
        {
                auto dir = CharPtr{g_dir_make_tmp("brackenfold-fuzz-XXXXXX", nullptr)};
                g_assert(dir);
                return dir.get();
        }

        std::string m_dir;
        std::string m_path;
};

const std::string& config_path()
{
        static const FuzzFile file;
        return file.path();
}

void check(const Config& config)
{
        for (auto const& line : config.get_warnings()) {
                g_assert(g_str_has_prefix(line.c_str(), "• "));
                g_assert(g_utf8_validate(line.c_str(), gssize(line.size()), nullptr));
                // The notification bar shows each line as markup.
                g_assert(pango_parse_markup(line.c_str(), -1, 0, nullptr, nullptr,
                                            nullptr, nullptr));
        }
        for (auto const& program : config.open_with) {
                auto placeholders = 0;
                for (auto const& arg : program.argv)
                        placeholders += arg == "%";
                g_assert(placeholders > 0);
        }
        g_assert(config.font);
}

// The open-with commands' short way must agree with GLib's parser.
void check_shell_split(const std::string& command)
{
        Error error;
        auto argv = shell_split(command, error.out());
        char** expected = nullptr;
        Error expected_error;
        auto parsed = g_shell_parse_argv(command.c_str(), nullptr, &expected,
                                         expected_error.out());
        auto owned = StrvPtr{expected};
        g_assert(bool(argv) == bool(parsed));
        if (argv)
                g_assert(*argv == strv_to_vector(owned.get()));
        else
                g_assert(g_str_equal(error.message(), expected_error.message()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
        // A failed precondition or warning inside the model is a finding too.
        // GLib ends a fatal log with a breakpoint trap, which libFuzzer does
        // not catch, so the input would be lost: abort instead, after
        // printing the message on standard output (the fuzz target closes
        // standard error to keep the configuration warnings quiet).
        g_log_set_writer_func(
            [](GLogLevelFlags level, const GLogField* fields, gsize n_fields,
               gpointer) -> GLogWriterOutput {
                    constexpr auto fatal = G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL |
                                           G_LOG_LEVEL_WARNING;
                    if (!(level & fatal))
                            return G_LOG_WRITER_HANDLED;
                    for (gsize i = 0; i < n_fields; ++i)
                            if (g_str_equal(fields[i].key, "MESSAGE"))
                                    std::printf("fatal log: %s\n",
                                                static_cast<const char*>(fields[i].value));
                    std::fflush(stdout);
                    std::abort();
            },
            nullptr, nullptr);
        return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
        auto const& path = config_path();
        // No fsync: it would cost more than the parse.
        if (!g_file_set_contents_full(path.c_str(), reinterpret_cast<const char*>(data),
                                      gssize(size), G_FILE_SET_CONTENTS_NONE, 0600,
                                      nullptr))
                return 0;
        Config config{path};
        check(config);

        std::string command{reinterpret_cast<const char*>(data), size};
        if (command.find('\0') == std::string::npos)
                check_shell_split(command);
        return 0;
}
