#include "ui/dimension_text.h"

bool ParseDimensionText(const char* text, std::int32_t* value) {
    if (text == nullptr || text[0] == '\0') return false;

    const bool negative = text[0] == '-';
    const char* digits = negative ? text + 1 : text;
    if (digits[0] == '\0') return false;  // a lone minus sign
    // Only the text "0" itself may start with 0; "-0", "00" and "05" may not.
    if (digits[0] == '0' && (negative || digits[1] != '\0')) return false;

    // The magnitude saturates just above the largest allowed one, so a long
    // string of digits is refused however large it is, without overflowing.
    std::int32_t magnitude = 0;
    for (const char* c = digits; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        if (magnitude <= kDimensionMax) magnitude = magnitude * 10 + (*c - '0');
    }
    if (magnitude > kDimensionMax) return false;

    *value = negative ? -magnitude : magnitude;
    return true;
}
