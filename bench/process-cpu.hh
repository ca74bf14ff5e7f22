// SPDX-License-Identifier: BSD-2-Clause
// CPU time of a process, read from /proc, for the benchmark's figures of
// work done whatever the load.
#pragma once

#include <dirent.h>
#include <fstream>
#include <string>

// CPU time of all threads of a process in milliseconds, -1 without one:
// the first field of each thread's schedstat counts nanoseconds on a CPU.
inline double process_cpu_ms(long pid)
{
        if (pid <= 0)
                return -1;
        auto path = "/proc/" + std::to_string(pid) + "/task";
        auto dir = opendir(path.c_str());
        if (!dir)
                return -1;
        double total = 0;
        while (auto entry = readdir(dir)) {
                if (entry->d_name[0] == '.')
                        continue;
                std::ifstream schedstat(path + "/" + entry->d_name + "/schedstat");
                double ns = 0;
                if (schedstat >> ns)
                        total += ns / 1e6;
        }
        closedir(dir);
        return total;
}
