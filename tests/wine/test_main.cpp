// Runs the Wine tests: test-program PLUGIN.dll HOOKED.dll [gtest flags]
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PLUGIN.dll HOOKED.dll [gtest flags]\n", argv[0]);
        return 2;
    }
    // The texts are code page 932; under any other ANSI code page the tests
    // would compare bytes the user never sees as such.
    if (GetACP() != 932) {
        std::fprintf(stderr,
                     "the ANSI code page is %u, not 932: run with LC_ALL=ja_JP.UTF-8 and that locale installed\n",
                     GetACP());
        return 2;
    }
    ThePluginPath = argv[1];
    TheHookedPluginPath = argv[2];
    return RUN_ALL_TESTS();
}
