// The test program's own RXF_QueryClientInfo (exported by name through
// query-host.def): answers from TheAnswers and logs every query.
#include <windows.h>

#include <string>

#include "host_answers.h"
#include "test_support.h"

TestHostAnswers TheAnswers;

extern "C" std::int32_t WINAPI RXF_QueryClientInfo(std::int32_t code, void* data) {
    Events().push_back("query " + std::to_string(code));
    switch (code) {
        case QueryDrawingColour:
        case QueryBackgroundColour:
            if (!TheAnswers.answerColours) return 0;
            *static_cast<PixelBGRA*>(data) = code == QueryDrawingColour ? TheAnswers.drawing : TheAnswers.background;
            return 1;
        case QuerySelectionMask:
            if (TheAnswers.mask == nullptr) return 0;
            *static_cast<const std::uint8_t**>(data) = TheAnswers.mask;
            return 1;
        default:
            return 0;
    }
}
