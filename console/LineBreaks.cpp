#include "LineBreaks.h"

std::u16string LineBreakNormaliser::Normalise(std::u16string_view chunk) {
    std::u16string text;
    text.reserve(chunk.size() + chunk.size() / 8);
    for (const char16_t c : chunk) {
        if (c == u'\r') {
            text += lineBreak_;
            afterCarriageReturn_ = true;
        } else if (c == u'\n') {
            if (!afterCarriageReturn_) {
                text += lineBreak_;
            }
            afterCarriageReturn_ = false;
        } else {
            text += c;
            afterCarriageReturn_ = false;
        }
    }
    return text;
}
