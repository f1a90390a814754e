#include "host/host_state.h"

HostAnswers TheHostAnswers;

extern "C" std::int32_t WINAPI RXF_QueryClientInfo(std::int32_t code, void* data) {
    switch (code) {
        case 1:
            if (data == nullptr) return 0;
            *static_cast<PixelBGRA*>(data) = TheHostAnswers.drawing;
            return 1;
        case 3:
            if (data == nullptr) return 0;
            *static_cast<PixelBGRA*>(data) = TheHostAnswers.background;
            return 1;
        case 4:
            if (data == nullptr || TheHostAnswers.mask == nullptr) return 0;
            *static_cast<const std::uint8_t**>(data) = TheHostAnswers.mask;
            return 1;
        case 5:
            ++TheHostAnswers.errorNotices;
            return 1;
        default:
            return 0;
    }
}
