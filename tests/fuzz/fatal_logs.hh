// SPDX-License-Identifier: BSD-2-Clause
// A failed precondition or warning inside the program is a finding too.
#pragma once

#include <glib.h>

#include <cstdio>
#include <cstdlib>

// GLib ends a fatal log with a breakpoint trap, which libFuzzer does not
// catch, so the input would be lost: abort instead, after printing the
// message on standard output (a fuzz target may close standard error to
// keep the program's own warnings quiet).
inline void abort_on_warnings()
{
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
}

// Reports a broken rule on standard output and aborts, so that libFuzzer
// keeps the input.
inline void fail_on(const char* fault)
{
        if (!fault)
                return;
        std::printf("fault: %s\n", fault);
        std::fflush(stdout);
        std::abort();
}
