// SPDX-License-Identifier: BSD-2-Clause
// Feeds arbitrary bytes to the hyperlink tooltip and to the paste of
// dropped files: the link text comes from the program in the terminal, the
// file names from whatever is dragged onto the window.
#include "fatal_logs.hh"
#include "link_checks.hh"

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
        auto fault = link_checks::input_fault(
            std::string_view{reinterpret_cast<const char*>(data), size});
        fail_on(fault ? fault->c_str() : nullptr);
        return 0;
}
