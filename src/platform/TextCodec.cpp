#include "platform/TextCodec.h"

#include <cstdint>

namespace velcor::platform {
namespace {

bool EncodeUtf8(uint32_t cp, char* buf, size_t& len) {
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    if (cp < 0x80) {
        buf[0] = static_cast<char>(cp);
        len = 1;
    } else if (cp < 0x800) {
        buf[0] = static_cast<char>(0xC0 | (cp >> 6));
        buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
        len = 2;
    } else if (cp < 0x10000) {
        buf[0] = static_cast<char>(0xE0 | (cp >> 12));
        buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
        len = 3;
    } else if (cp <= 0x10FFFF) {
        buf[0] = static_cast<char>(0xF0 | (cp >> 18));
        buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
        len = 4;
    } else {
        return false;
    }
    return true;
}

// Decodes one UTF-8 sequence at text; advances text. False when malformed.
bool DecodeUtf8(const unsigned char*& text, uint32_t& cp) {
    const unsigned char lead = *text++;
    int extra;
    uint32_t minimum;
    if (lead < 0x80) {
        cp = lead;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        cp = lead & 0x1F;
        extra = 1;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        cp = lead & 0x0F;
        extra = 2;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        cp = lead & 0x07;
        extra = 3;
        minimum = 0x10000;
    } else {
        return false;
    }
    for (int i = 0; i < extra; ++i) {
        if ((*text & 0xC0) != 0x80) return false;  // also stops at the terminator
        cp = (cp << 6) | (*text++ & 0x3F);
    }
    return cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

}  // namespace

size_t WideToNarrow(const wchar_t* text, char* out, size_t outBytes) {
    if (text == nullptr || out == nullptr || outBytes == 0) return 0;
    size_t used = 0;
    for (; *text != L'\0'; ++text) {
        char buf[4];
        size_t len = 0;
        if (!EncodeUtf8(static_cast<uint32_t>(*text), buf, len) || used + len + 1 > outBytes) {
            out[used] = '\0';
            return 0;
        }
        for (size_t i = 0; i < len; ++i)
            out[used++] = buf[i];
    }
    out[used++] = '\0';
    return used;
}

size_t NarrowToWide(const char* text, wchar_t* out, size_t outChars) {
    if (text == nullptr || out == nullptr || outChars == 0) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t used = 0;
    while (*p != 0) {
        uint32_t cp = 0;
        if (!DecodeUtf8(p, cp) || used + 2 > outChars) {
            out[used] = L'\0';
            return 0;
        }
        out[used++] = static_cast<wchar_t>(cp);
    }
    out[used++] = L'\0';
    return used;
}

bool WideToNarrowPath(const wchar_t* text, std::string& out) {
    char buffer[kMaxNarrowPath + 1];
    if (WideToNarrow(text, buffer, sizeof buffer) == 0) return false;
    out.assign(buffer);
    return true;
}

}  // namespace velcor::platform
