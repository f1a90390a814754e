// Runs the Wine tests: test-program PLUGIN.dll HOOKED.dll [gtest flags]
#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PLUGIN.dll HOOKED.dll [gtest flags]\n", argv[0]);
        return 2;
    }
    ThePluginPath = argv[1];
    TheHookedPluginPath = argv[2];
    return RUN_ALL_TESTS();
}
