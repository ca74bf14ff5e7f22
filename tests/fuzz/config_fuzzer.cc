// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to the whole configuration model as its file.
#include "config.hh"
#include "fatal_logs.hh"

#include <glib/gstdio.h>

#include <cstddef>
#include <cstdint>
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

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
        abort_on_warnings();
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
        return 0;
}
