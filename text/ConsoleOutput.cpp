#include "ConsoleOutput.h"

#include <algorithm>
#include <optional>

namespace {

using Csi = EscapeParser::Csi;

// Moves past the end of a line leave blanks behind them; they stop this far out.
constexpr std::size_t MaxPaddedColumn = 1024;

// The colour of SGR 38, 48 or 58 at parameter i, which has `subs` sub-parameters: 5;n or 2;r;g;b as
// parameters of their own, or :5:n, :2:r:g:b and :2:space:r:g:b as sub-parameters. `next` is where the
// following parameter starts; after a malformed colour nothing more can be read.
std::optional<TextColour> ExtendedColour(const Csi& csi, std::size_t i, std::size_t subs, std::size_t& next) {
    const std::size_t at = i + 1;
    const std::size_t available = subs > 0 ? subs : csi.count - std::min(csi.count, at);
    const auto component = [&csi](std::size_t k) { return csi.Value(k, 0); };
    const std::int32_t kind = csi.Value(at, -1);
    if (kind == 5 && available >= 2) {
        next = subs > 0 ? next : at + 2;
        const std::int32_t index = component(at + 1);
        return index <= 255 ? std::optional(TextColour::Indexed(static_cast<std::uint8_t>(index)))
                            : std::nullopt;
    }
    if (kind == 2 && available >= 4) {
        const std::size_t rgb = subs >= 5 ? at + 2 : at + 1;
        next = subs > 0 ? next : at + 4;
        const std::int32_t r = component(rgb);
        const std::int32_t g = component(rgb + 1);
        const std::int32_t b = component(rgb + 2);
        if (r > 255 || g > 255 || b > 255) {
            return std::nullopt;
        }
        return TextColour::Direct(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                  static_cast<std::uint8_t>(b));
    }
    if (subs == 0) {
        next = csi.count;
    }
    return std::nullopt;
}

} // namespace

ConsoleOutput::ConsoleOutput(OutputLines& lines, OutputStyles* styles) : lines_(lines), styles_(styles) {}

void ConsoleOutput::StartRun() {
    parser_.Reset();
    pen_ = {};
    penId_ = 0;
    penChanged_ = false;
}

void ConsoleOutput::Reset() {
    StartRun();
    atEnd_ = true;
    column_ = 0;
    if (styles_ != nullptr) {
        styles_->Clear();
    }
}

OutputStyles::StyleId ConsoleOutput::Pen() {
    if (penChanged_) {
        penId_ = styles_->Intern(pen_);
        penChanged_ = false;
    }
    return penId_;
}

void ConsoleOutput::Print(std::u16string_view run) {
    Write(run, styles_ != nullptr ? Pen() : 0);
}

void ConsoleOutput::Write(std::u16string_view text, OutputStyles::StyleId style) {
    if (!atEnd_) {
        const std::size_t length = lines_.LastLineLength();
        if (column_ < length) {
            const std::size_t from = lines_.Size() - length + column_;
            lines_.Overwrite(column_, text);
            if (styles_ != nullptr) {
                styles_->Assign(from, from + text.size(), style, lines_.Size());
            }
            column_ += text.size();
            atEnd_ = column_ >= length;
            return;
        }
        atEnd_ = true;
        if (column_ > length) {
            Write(std::u16string(column_ - length, u' '), 0);
        }
    }
    if (styles_ != nullptr && styles_->StyleAtEnd() != style) {
        styles_->Append(lines_.Size(), style);
    }
    lines_.Append(text);
}

void ConsoleOutput::Control(char16_t c) {
    switch (c) {
    case u'\n':
    case u'\v':
    case u'\f':
        lines_.Append(u"\n");
        atEnd_ = true;
        column_ = 0;
        break;
    case u'\r':
        atEnd_ = false;
        column_ = 0;
        break;
    case u'\b':
        MoveTo(Column() - std::min<std::size_t>(Column(), 1));
        break;
    case u'\t':
        Print(u"\t");
        break;
    default:
        break; // BEL and the rest: nothing a log shows
    }
}

void ConsoleOutput::MoveTo(std::size_t column) {
    column_ = std::min(column, std::max(lines_.LastLineLength(), MaxPaddedColumn));
    atEnd_ = false;
}

void ConsoleOutput::ControlSequence(const Csi& csi) {
    if (!csi.Plain()) {
        return; // private and intermediate forms: modes, queries and the like
    }
    const auto count = static_cast<std::size_t>(std::max(csi.Value(0, 1), 1));
    switch (csi.final) {
    case u'm':
        SelectGraphicRendition(csi);
        break;
    case u'K':
        EraseInLine(csi.Value(0, 0));
        break;
    case u'G':
    case u'`':
        MoveTo(count - 1);
        break;
    case u'C':
    case u'a':
        MoveTo(Column() + count);
        break;
    case u'D':
        MoveTo(Column() - std::min(Column(), count));
        break;
    default:
        break; // the rest moves over a screen or changes its modes: a log has neither
    }
}

void ConsoleOutput::EraseInLine(int how) {
    const std::size_t column = Column();
    const std::size_t length = lines_.LastLineLength();
    if (how == 0 || how == 2) {
        const std::size_t cut = how == 0 ? column : 0;
        if (cut < length) {
            lines_.Truncate(cut);
            if (styles_ != nullptr) {
                styles_->Truncate(lines_.Size());
            }
        }
        atEnd_ = false;
        column_ = column;
    } else if (how == 1) {
        const std::size_t blanks = std::min(column + 1, length);
        const std::size_t from = lines_.Size() - length;
        lines_.Overwrite(0, std::u16string(blanks, u' '));
        if (styles_ != nullptr) {
            styles_->Assign(from, from + blanks, 0, lines_.Size());
        }
    }
}

void ConsoleOutput::OperatingSystemCommand(std::u16string_view text) {
    // OSC 8 ; parameters ; target: a link over the text up to the next OSC 8 (with an empty target).
    if (styles_ == nullptr || !text.starts_with(u"8;")) {
        return; // titles, colours, the clipboard and the rest: nothing is shown or done
    }
    const std::size_t targetAt = text.find(u';', 2);
    if (targetAt == std::u16string_view::npos) {
        return;
    }
    const std::u16string_view target = text.substr(targetAt + 1);
    pen_.link = target.empty() ? 0 : styles_->InternLink(target);
    penChanged_ = true;
}

void ConsoleOutput::SelectGraphicRendition(const Csi& csi) {
    if (styles_ == nullptr) {
        return;
    }
    penChanged_ = true;
    TextStyle& pen = pen_;
    const std::size_t count = std::max<std::size_t>(csi.count, 1); // CSI m is CSI 0 m
    for (std::size_t i = 0; i < count;) {
        std::size_t subs = 0;
        while (i + 1 + subs < csi.count && csi.sub[i + 1 + subs]) {
            ++subs;
        }
        std::size_t next = i + 1 + subs;
        const std::int32_t p = csi.Value(i, 0);
        const auto set = [&pen](std::uint16_t attributes, bool on) {
            pen.attributes =
                static_cast<std::uint16_t>(on ? pen.attributes | attributes : pen.attributes & ~attributes);
        };
        if (p >= 30 && p <= 37) {
            pen.foreground = TextColour::Indexed(static_cast<std::uint8_t>(p - 30));
        } else if (p >= 40 && p <= 47) {
            pen.background = TextColour::Indexed(static_cast<std::uint8_t>(p - 40));
        } else if (p >= 90 && p <= 97) {
            pen.foreground = TextColour::Indexed(static_cast<std::uint8_t>(p - 90 + 8));
        } else if (p >= 100 && p <= 107) {
            pen.background = TextColour::Indexed(static_cast<std::uint8_t>(p - 100 + 8));
        } else {
            switch (p) {
            case 0: {
                const std::uint32_t link = pen.link; // a link is no rendition: it lasts to its own end
                pen = {};
                pen.link = link;
                break;
            }
            case 1:
                set(TextStyle::Bold, true);
                break;
            case 2:
                set(TextStyle::Faint, true);
                break;
            case 3:
                set(TextStyle::Italic, true);
                break;
            case 4: // 4:0 is no underline, 4:1 to 4:5 its kinds
                set(TextStyle::Underline, subs == 0 || csi.Value(i + 1, 1) != 0);
                break;
            case 7:
                set(TextStyle::Inverse, true);
                break;
            case 8:
                set(TextStyle::Conceal, true);
                break;
            case 9:
                set(TextStyle::Strike, true);
                break;
            case 21:
                set(TextStyle::Underline, true);
                break;
            case 22:
                set(static_cast<std::uint16_t>(TextStyle::Bold | TextStyle::Faint), false);
                break;
            case 23:
                set(TextStyle::Italic, false);
                break;
            case 24:
                set(TextStyle::Underline, false);
                break;
            case 27:
                set(TextStyle::Inverse, false);
                break;
            case 28:
                set(TextStyle::Conceal, false);
                break;
            case 29:
                set(TextStyle::Strike, false);
                break;
            case 38:
            case 48:
            case 58: { // 58, the underline's colour, is read past and not shown
                const std::optional<TextColour> colour = ExtendedColour(csi, i, subs, next);
                if (colour && p != 58) {
                    (p == 38 ? pen.foreground : pen.background) = *colour;
                }
                break;
            }
            case 39:
                pen.foreground = {};
                break;
            case 49:
                pen.background = {};
                break;
            default:
                break; // blinking, fonts, frames, overlines: not shown
            }
        }
        i = next;
    }
}
