// The bounded copy of texts into host buffers.
#include <gtest/gtest.h>

#include "case_names.h"

#include <string>

#include "plugin/text_copy.h"

namespace {

struct CopyCase {
    const char* text;
    int length;
    std::string expected;  // the first `length` bytes of the buffer
};

class CopyBoundedTextTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyBoundedTextTest, FillsExactlyLengthBytes) {
    const CopyCase& c = GetParam();
    char buffer[40];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    CopyBoundedText(buffer, c.text, c.length);
    const std::size_t written = c.length > 0 ? static_cast<std::size_t>(c.length) : 0;
    EXPECT_EQ(std::string(buffer, written), c.expected);
    for (std::size_t i = written; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, CopyBoundedTextTest,
    ::testing::Values(CopyCase{"Transform", 0, ""},                                   // nothing written
                      CopyCase{"Transform", -3, ""},                                  // negative: nothing
                      CopyCase{"Transform", 5, "Trans"},                              // cut, no terminator
                      CopyCase{"Transform", 9, "Transform"},                          // exact: no terminator
                      CopyCase{"Transform", 12, std::string("Transform\0\0\0", 12)},  // zero padded
                      CopyCase{"", 3, std::string("\0\0\0", 3)}, CopyCase{nullptr, 2, std::string("\0\0", 2)}),
    [](const ::testing::TestParamInfo<CopyCase>& info) {
        return TextName(info.param.text) + "_Length" + NumberName(info.param.length);
    });

}  // namespace
