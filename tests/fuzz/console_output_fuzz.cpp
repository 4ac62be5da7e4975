// What the output means, fed whole, in random chunks and a unit at a time: the same text and the same colours
// and links at every position; no control character in the text; the parser's events bounded however long a
// sequence runs. Bytes stand for ASCII (sequences) or for one of a few characters beyond it, pairs whole.
#include "ConsoleOutput.h"
#include "FuzzBytes.h"

#include <memory>
#include <string>

namespace {

std::u16string Units(std::string_view bytes) {
    static const std::u16string_view Beyond[] = {u"😀",      u"世",     u"\u0301",   u"é",
                                                 u"\u200D", u"\uFFFD", u"👍🏽", u"\u00A0"};
    std::u16string units;
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        units.append(c < 0x80 ? std::u16string(1, c) : std::u16string(Beyond[c & 7]));
    }
    return units;
}

struct Console {
    OutputText text;
    OutputStyles styles;
    ConsoleOutput output{text, &styles};
};

// Each position's style by value, links by their targets.
bool SameMeaning(const Console& a, const Console& b) {
    bool same = a.text.Text(0, a.text.Size()) == b.text.Text(0, b.text.Size());
    for (std::size_t i = 0; same && i < a.text.Size(); ++i) {
        TextStyle x = a.styles.Style(a.styles.StyleAt(i));
        TextStyle y = b.styles.Style(b.styles.StyleAt(i));
        same = a.styles.Link(x.link) == b.styles.Link(y.link) && (x.link = y.link = 0, x == y);
    }
    return same;
}

// The parser's events stay within its limits on an endless sequence.
class Bounds final : public EscapeParser::Listener {
    void Print(std::u16string_view run) override {
        for (const char16_t c : run) {
            Agree(c >= 0x20 && c != 0x7F); // line breaks and tabs too, as this listener asks
        }
    }
    void Control(char16_t c) override { Agree(c < 0x20 && c != 0x1B && c != 0x18 && c != 0x1A); }
    void ControlSequence(const EscapeParser::Csi& csi) override {
        Agree(csi.count <= EscapeParser::MaxParameters && csi.intermediateCount <= 2);
    }
    void EscapeSequence(std::u16string_view, char16_t) override {}
    void OperatingSystemCommand(std::u16string_view text) override {
        Agree(text.size() <= EscapeParser::MaxStringLength);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes input(data, size);
    const std::size_t seed = input.Byte();
    const std::u16string units = Units(input.Rest());
    const auto whole = std::make_unique<Console>();
    const auto chunked = std::make_unique<Console>();
    const auto single = std::make_unique<Console>();
    whole->output.Feed(units);
    for (std::size_t at = 0, k = 0, n = 1; at < units.size();
         at += n, ++k, n = 1 + (seed * (k + 3) + k * k) % 17) {
        chunked->output.Feed(std::u16string_view(units).substr(at, n));
    }
    for (const char16_t c : units) {
        single->output.Feed(std::u16string_view(&c, 1));
    }
    Agree(SameMeaning(*whole, *chunked) && SameMeaning(*whole, *single));
    const std::u16string shown = whole->text.Text(0, whole->text.Size()) + u' ';
    for (std::size_t i = 0; i + 1 < shown.size(); ++i) {
        Agree(shown[i] >= 0x20 ? shown[i] != 0x7F : shown[i] == u'\n' || shown[i] == u'\t');
        // A carriage return or a move back never leaves half a pair behind.
        const auto half = [&shown](std::size_t k, char16_t which) { return (shown[k] & 0xFC00) == which; };
        Agree(!half(i, 0xD800) || half(i + 1, 0xDC00));
        Agree(!half(i, 0xDC00) || (i > 0 && half(i - 1, 0xD800)));
    }

    // An endless sequence of the same input, now and then: what comes out stays bounded.
    std::u16string endless;
    while (seed % 4 == 0 && !units.empty() && endless.size() < 4096) {
        endless += units;
    }
    EscapeParser parser;
    Bounds bounds;
    for (const std::u16string_view start : {u"\033]", u"\033[", u"\033P", u"\033"}) {
        parser.Feed(start, bounds);
        for (std::size_t fed = 0; !endless.empty() && fed <= EscapeParser::MaxStringLength;
             fed += endless.size()) {
            parser.Feed(endless, bounds);
        }
        parser.Feed(u"\a\030", bounds);
    }
    return 0;
}
