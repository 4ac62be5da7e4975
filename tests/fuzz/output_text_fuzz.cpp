// The store against a plain model, lines as strings, through appends, overwrites and cuts of the last line;
// the fuzz build stores a few characters a block and a few line starts a group, so every read and write
// crosses their boundaries.
#include "FuzzBytes.h"
#include "OutputText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::u16string Piece(FuzzBytes& input, bool lineBreaks) {
    static const char16_t Alphabet[] = {u'a',  u' ',   u'\t',  u'é', u'\u00FF', u'\u0100',
                                        u'世', 0xD83D, 0xDE00, u'_', u'\u00A0', u'\u3000',
                                        u'-',  u'Z',   u'9',   u'\n'};
    std::u16string piece(input.Byte() % 40, u'x');
    for (char16_t& c : piece) {
        c = Alphabet[input.Byte() % (lineBreaks ? 16 : 15)];
    }
    return piece;
}

void Check(const OutputText& text, const std::vector<std::u16string>& lines, std::size_t perRow) {
    std::u16string whole;
    std::uint64_t rows = 0;
    Agree(text.LineCount() == lines.size());
    for (std::size_t line = 0; line < lines.size(); ++line) {
        Agree(text.LineStart(line) == whole.size());
        Agree(text.EstimatedRowsBefore(line) == rows);
        whole += lines[line];
        Agree(text.LineEnd(line) == whole.size());
        Agree(text.EstimatedRows(line) ==
              std::max<std::size_t>(1, (lines[line].size() + perRow - 1) / perRow));
        Agree(text.LineAtEstimatedRow(rows) == line);
        rows += text.EstimatedRows(line);
        whole += line + 1 < lines.size() ? u"\n" : u"";
    }
    Agree(text.Size() == whole.size() && text.Text(0, text.Size()) == whole);
    Agree(text.EstimatedTotalRows() == rows);
    for (std::size_t i = 0; i < whole.size(); i += 1 + i / 3) {
        const OutputText::Run run = text.RunAt(i); // as search reads it
        Agree(run.start <= i && i < run.start + run.size &&
              (run.wide == nullptr) != (run.narrow == nullptr) &&
              (run.wide ? run.wide[i - run.start] : run.narrow[i - run.start]) == whole[i] &&
              text.At(i) == whole[i]);
        const std::size_t line = text.LineOf(i);
        Agree(text.LineAt(i) == std::pair(text.LineStart(line), text.LineEnd(line)) &&
              i <= text.LineEnd(line));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzBytes input(data, size);
    OutputText text;
    std::vector<std::u16string> lines{u""};
    std::size_t perRow = 80;
    while (!input.Empty()) {
        const std::uint8_t what = input.Byte();
        std::u16string& last = lines.back();
        const std::size_t column = last.empty() ? 0 : input.Byte() % (last.size() + 1);
        if (what % 8 < 4) {
            const std::u16string piece = Piece(input, true);
            text.Append(piece);
            for (const char16_t c : piece) {
                if (c == u'\n') {
                    lines.emplace_back();
                } else {
                    lines.back().push_back(c);
                }
            }
        } else if (what % 8 < 6) {
            const std::u16string piece = Piece(input, false);
            text.Overwrite(column, piece);
            last.resize(std::max(last.size(), column + piece.size()));
            std::copy(piece.begin(), piece.end(), last.begin() + static_cast<std::ptrdiff_t>(column));
        } else if (what % 8 == 6) {
            text.Truncate(column);
            last.resize(column);
        } else if (what == 7) {
            text.Clear();
            lines = {u""};
        } else {
            perRow = 1 + what % 50;
            text.SetCharactersPerRow(perRow);
        }
        Check(text, lines, perRow);
    }
    return 0;
}
