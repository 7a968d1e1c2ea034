#include "profile/toml_text.h"

#include <cstdio>

std::string TomlEscaped(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string TomlQuoted(std::string_view text) {
    return "\"" + TomlEscaped(text) + "\"";
}
