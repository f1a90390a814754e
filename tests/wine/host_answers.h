// The answers of the test program's RXF_QueryClientInfo.
#pragma once

#include <cstdint>

#include "shear/pixel.h"

struct TestHostAnswers {
    bool answerColours = true;  // false: codes 1 and 3 return 0 and write nothing
    PixelBGRA drawing{10, 20, 30, 200};
    PixelBGRA background{40, 50, 60, 150};
    const std::uint8_t* mask = nullptr;  // null: code 4 returns 0
};

extern TestHostAnswers TheAnswers;
