#include "plugin/text_copy.h"

void CopyBoundedText(char* buffer, const char* text, std::int32_t length) {
    if (length <= 0) return;
    std::int32_t i = 0;
    if (text != nullptr) {
        for (; i < length && text[i] != '\0'; ++i) buffer[i] = text[i];
    }
    for (; i < length; ++i) buffer[i] = '\0';
}
