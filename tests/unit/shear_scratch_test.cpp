// The passes' scratch memory: aligned, never shared by two passes at once,
// and kept from one pass to the next when it is not too large.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "shear/scratch.h"

namespace {

using shear_detail::kKeptScratchBytes;
using shear_detail::Scratch;

TEST(ScratchTest, BlocksAreAlignedAndWholeBytesUsable) {
    for (std::uint64_t bytes : {std::uint64_t{1}, std::uint64_t{64}, std::uint64_t{1000}, std::uint64_t{1} << 20}) {
        const Scratch scratch(bytes);
        ASSERT_TRUE(scratch.Ok());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(scratch.Aligned()) % 64, 0u);
        std::memset(scratch.Aligned(), 0xA5, static_cast<std::size_t>(bytes));  // the sanitizers check the bounds
    }
}

TEST(ScratchTest, TwoLiveBlocksNeverOverlap) {
    { const Scratch warm(4096); }  // leaves a block to be kept
    const Scratch first(4096);
    const Scratch second(4096);
    ASSERT_TRUE(first.Ok() && second.Ok());
    const unsigned char* a = first.Aligned();
    const unsigned char* b = second.Aligned();
    EXPECT_TRUE(a + 4096 <= b || b + 4096 <= a);
}

TEST(ScratchTest, TheNextPassTakesTheKeptBlockWhenItIsLargeEnough) {
    unsigned char* kept = nullptr;
    {
        const Scratch scratch(100000);
        kept = scratch.Aligned();
    }
    {
        const Scratch smaller(5000);
        EXPECT_EQ(smaller.Aligned(), kept);
    }
    const Scratch larger(200000);
    ASSERT_TRUE(larger.Ok());
    std::memset(larger.Aligned(), 0, 200000);
}

TEST(ScratchTest, ABlockOverTheLimitIsNotKept) {
    const unsigned char* huge = nullptr;
    {
        const Scratch scratch(kKeptScratchBytes + 64);
        ASSERT_TRUE(scratch.Ok());
        huge = scratch.Aligned();
    }
    // Had it been kept, the next pass would have taken it.
    const Scratch next(1000);
    EXPECT_NE(next.Aligned(), huge);
}

TEST(ScratchTest, AnImpossibleSizeGivesNoBlock) {
    const Scratch scratch(~std::uint64_t{0});
    EXPECT_FALSE(scratch.Ok());
}

}  // namespace
