#include "host/host_state.h"

#include <type_traits>

HostAnswers TheHostAnswers;

extern "C" std::int32_t WINAPI RXF_QueryClientInfo(std::int32_t code, void* data) {
    switch (code) {
        case QueryDrawingColour:
            if (data == nullptr) return 0;
            *static_cast<PixelBGRA*>(data) = TheHostAnswers.drawing;
            return 1;
        case QueryBackgroundColour:
            if (data == nullptr) return 0;
            *static_cast<PixelBGRA*>(data) = TheHostAnswers.background;
            return 1;
        case QuerySelectionMask:
            if (data == nullptr || TheHostAnswers.mask == nullptr) return 0;
            *static_cast<const std::uint8_t**>(data) = TheHostAnswers.mask;
            return 1;
        case NotifyErrorBox:
            ++TheHostAnswers.errorNotices;
            return 1;
        default:
            return 0;
    }
}

static_assert(std::is_same_v<decltype(&RXF_QueryClientInfo), ClientInfoFunction>);
