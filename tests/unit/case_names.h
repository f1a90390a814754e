// Pieces of the names of parameterised test cases, which may hold only
// letters, digits and underscores.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// -5 gives "Minus5".
inline std::string NumberName(std::int64_t value) {
    return value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value);
}

// 0.29 gives "0_29", -0.5 "Minus0_5", 1e-300 "1eMinus300".
inline std::string DecimalName(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value < 0 ? -value : value);
    std::string name = value < 0 ? "Minus" : "";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '.') {
            name += '_';
        } else if (*c == '-') {
            name += "Minus";  // of an exponent
        } else if (*c == '+') {
            name += "Plus";
        } else {
            name += *c;
        }
    }
    return name;
}

// Letters and digits stay; a few signs get words, every other byte is "X";
// the empty text is "Empty" and a null one "Null".
inline std::string TextName(const char* text) {
    if (text == nullptr) return "Null";
    if (*text == '\0') return "Empty";
    std::string name;
    for (const char* c = text; *c != '\0'; ++c) {
        const char ch = *c;
        if ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
            name += ch;
        } else if (ch == '-') {
            name += "Minus";
        } else if (ch == '+') {
            name += "Plus";
        } else if (ch == ' ') {
            name += "Space";
        } else if (ch == '#') {
            name += "Hash";
        } else {
            name += 'X';
        }
    }
    return name;
}
