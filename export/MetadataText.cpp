#include "export/MetadataText.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at text[*at], moving *at past it; kReplacement for a byte that does not
// start a well-formed sequence (overlong forms and surrogates included).
char32_t NextCodePoint(std::string_view text, std::size_t* at) {
    const auto byte = [&](std::size_t i) { return std::uint8_t(text[i]); };
    const std::uint8_t lead = byte(*at);
    int length = 0;
    char32_t point = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ++*at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, point = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, point = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, point = lead & 0x07, least = 0x10000;
    } else {
        ++*at;
        return kReplacement;
    }
    if (*at + std::size_t(length) > text.size()) {
        ++*at;
        return kReplacement;
    }
    for (int i = 1; i < length; ++i) {
        if ((byte(*at + std::size_t(i)) & 0xC0) != 0x80) {
            ++*at;
            return kReplacement;
        }
        point = (point << 6) | (byte(*at + std::size_t(i)) & 0x3F);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        ++*at;
        return kReplacement;
    }
    *at += std::size_t(length);
    return point;
}

void AppendUtf8(char32_t point, std::string* out) {
    if (point < 0x80) {
        *out += char(point);
    } else if (point < 0x800) {
        *out += char(0xC0 | (point >> 6));
        *out += char(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        *out += char(0xE0 | (point >> 12));
        *out += char(0x80 | ((point >> 6) & 0x3F));
        *out += char(0x80 | (point & 0x3F));
    } else {
        *out += char(0xF0 | (point >> 18));
        *out += char(0x80 | ((point >> 12) & 0x3F));
        *out += char(0x80 | ((point >> 6) & 0x3F));
        *out += char(0x80 | (point & 0x3F));
    }
}

bool IsControl(char32_t point) {
    return point < 0x20 || (point >= 0x7F && point < 0xA0);
}

void AppendEscape(const char* format, char32_t point, std::string* out) {
    char escape[16];
    std::snprintf(escape, sizeof escape, format, unsigned(point));
    *out += escape;
}

}  // namespace

std::string OneLine(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t point = NextCodePoint(text, &at);
        if (IsControl(point)) {
            AppendEscape("\\x%02X", point, &out);
        } else {
            AppendUtf8(point, &out);
        }
    }
    return out;
}

std::string AsciiLine(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t point = NextCodePoint(text, &at);
        if (IsControl(point)) {
            AppendEscape("\\x%02X", point, &out);
        } else if (point >= 0x80) {
            AppendEscape(point > 0xFFFF ? "\\U%08X" : "\\u%04X", point, &out);
        } else {
            out += char(point);
        }
    }
    return out;
}

std::string ImageJValue(std::string_view text) {
    std::string out;
    for (char c : AsciiLine(text)) {
        out += c == '=' ? std::string("\\x3D") : std::string(1, c);
    }
    return out;
}

std::string ImageJKey(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        c = allowed ? c : '_';
    }
    return out;
}

std::string XmlText(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t point = NextCodePoint(text, &at);
        const bool allowed = point == '\t' || point == '\n' || point == '\r' ||
                             (point >= 0x20 && point != 0xFFFE && point != 0xFFFF);
        if (allowed) {
            AppendUtf8(point, &out);
        }
    }
    return out;
}
