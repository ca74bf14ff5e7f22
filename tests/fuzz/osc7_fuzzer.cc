// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes as the shell's OSC 7 report of its directory to the
// check that decides whether "Open directory" and "Open terminal" believe it.
#include "fatal_logs.hh"
#include "osc7_checks.hh"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
        abort_on_warnings();
        return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
        auto fault = osc7_checks::report_fault(
            std::string_view{reinterpret_cast<const char*>(data), size});
        fail_on(fault ? fault->c_str() : nullptr);
        return 0;
}
