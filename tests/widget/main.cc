// SPDX-License-Identifier: BSD-2-Clause
#include <gtk/gtk.h>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
        testing::InitGoogleTest(&argc, argv);
        gtk_init(nullptr, nullptr);
        return RUN_ALL_TESTS();
}
