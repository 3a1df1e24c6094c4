#include "runtime/string.h"

#include <algorithm>
#include <type_traits>

namespace vexel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUtf16(String& out, char32_t code) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
}

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xDC00;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c < 0xE000;
}

template <typename Int>
Int ParseInteger(std::u16string_view text) {
    using Unsigned = std::make_unsigned_t<Int>;
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && text[i] == u'%') {
        base = 2;
        ++i;
    } else if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    }
    Unsigned value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        unsigned digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            break;
        }
        if (digit >= base) break;
        value = static_cast<Unsigned>(value * base + digit);
    }
    if (negative) value = static_cast<Unsigned>(Unsigned{0} - value);
    return static_cast<Int>(value);
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

String FromUtf8(std::string_view bytes) {
    String out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int extra;
        char32_t code;
        if (lead < 0x80) {
            extra = 0;
            code = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            extra = 2;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            extra = 3;
            code = lead & 0x07;
        } else {
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra) && i + j < bytes.size(); ++j) {
            const auto next = static_cast<unsigned char>(bytes[i + j]);
            if ((next & 0xC0) != 0x80) break;
            code = (code << 6) | (next & 0x3F);
        }
        const bool complete = j == static_cast<size_t>(extra) + 1;
        const bool overlong = (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
        if (!complete || overlong || code > 0x10FFFF || IsHighSurrogate(code) ||
            IsLowSurrogate(code)) {
            AppendUtf16(out, kReplacement);
            i += complete ? j : std::max<size_t>(j, 1);
            continue;
        }
        AppendUtf16(out, code);
        i += j;
    }
    return out;
}

std::string ToBytes(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(text[i] & 0xFF);
    return out;
}

String FromBytes(std::string_view bytes) {
    String out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<unsigned char>(bytes[i]);
    return out;
}

String IntToString(int64_t value) {
    const std::string digits = std::to_string(value);
    return String(digits.begin(), digits.end());
}

int32_t StringToInt(std::u16string_view text) {
    return ParseInteger<int32_t>(text);
}
int64_t StringToLong(std::u16string_view text) {
    return ParseInteger<int64_t>(text);
}

String ToLower(std::u16string_view text) {
    String out(text);
    for (auto& c : out) {
        const bool ascii_upper = c >= u'A' && c <= u'Z';
        const bool latin1_upper = c >= 0xC0 && c <= 0xDE && c != 0xD7;
        if (ascii_upper || latin1_upper) c = static_cast<char16_t>(c + 0x20);
    }
    return out;
}

}  // namespace vexel
