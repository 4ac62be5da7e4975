// What escape and control sequences mean for the box: the text and its style runs (colours, renditions,
// links), erasing and moving within the line in cells, however the chunks cut.
#include "ConsoleOutputRows.h"

namespace {

std::u16string Times(std::u16string_view piece, int count) {
    std::u16string out;
    for (int i = 0; i < count; ++i)
        out += piece;
    return out;
}

} // namespace

TEST(ConsoleOutput, SequencesGiveTextAndStyleRunsWhereverTheChunksCut) {
    CheckRows({
        {u"plain\r\nline\n\rx", u"plain\nline\nx", ""},
        // Floods of line ends in the pen's style, whole or cut anywhere, with a CR over the line after.
        {u"\x1b[31ma\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\x1b[32mb"
         u"\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\x1b[0mcd\rX\r\n\r\n",
         u"a\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\nb\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\nXd\n\n", "0-18 f1|18-36 f2"},
        {u"a\r\nb\r\n\r\nc\rX\r\r\nd\x1b[31me\r\nf\x1b[0m\r\ng\r\n", u"a\nb\n\nX\nde\nf\ng\n", "8-11 f1"},
        {u"\x1b[31mred\x1b[0m plain", u"red plain", "0-3 f1"},
        // An SGR known from the pen it starts from, taken without reading it: the pen it leads to renders the
        // next one, and it ends what REP repeats as any sequence does.
        {u"\x1b[31mx\x1b[0my\x1b[31m\x1b[2b\x1b[1mz\x1b[0m\x1b[32m\x1b[1mw", u"xyzw",
         "0-1 f1|2-3 f1B|3-4 f2B"},
        // A style run only where the style changes: not for an SGR that leaves it as it was.
        {u"\x1b[31mA\x1b[1m\x1b[22mB\x1b[31mC\x1b[0m\x1b[mD", u"ABCD", "0-3 f1"},
        {u"\x1b[1;2;4;38;5;255mX\x1b[22;24mY\x1b[39mZ", u"XYZ", "0-1 f255BFU|1-2 f255"},
        {u"\x1b[38;2;1;2;3mA\x1b[48:2::4:5:6mB\x1b[38:2:7:8:9mC\x1b[49;39mD", u"ABCD",
         "0-1 f#010203|1-2 f#010203b#040506|2-3 f#070809b#040506"},
        {u"\x1b[92;107mA\x1b[7;8;9;3;2mB\x1b[27;28;29;23mC\x1b[mD", u"ABCD",
         "0-1 f10b15|1-2 f10b15FIRCS|2-3 f10b15F"},
        {u"\x1b[4:0mA\x1b[4:3mB\x1b[58:2::1:2:3;31mC\x1b[24;58;5;4;32mD\x1b[21mE\x1b[24;4:mF", u"ABCDEF",
         "1-2 U|2-3 f1U|3-4 f2|4-6 f2U"},
        {u"\x1b[>4;2mA\x1b[38;5;300mB\x1b[38;7mC\x1b[1 mD", u"ABCD", ""}, // not SGR, or not a colour
        // The same short SGR from different pens, after a reset with and without a link, after a pen not
        // yet used, after sub-parameters.
        {u"\x1b[1mA\x1b[31mB\x1b[0mC\x1b[31mD\x1b[1m\x1b[31mE\x1b[0;31mF\x1b[0;31mG\x1b[0mH\x1b[3m\x1b[31mI"
         u"\x1b[0;1mJ\x1b[38;5;0mK\x1b[0mL\x1b[38;5;512mM",
         u"ABCDEFGHIJKLM", "0-1 B|1-2 f1B|3-4 f1|4-5 f1B|5-7 f1|8-9 f1I|9-10 B|10-11 f0B"},
        {u"\x1b]8;;x\x07\x1b[0;32mA\x1b]8;;\x07\x1b[0;32mB\x1b[32m\x1b]8;;y\x07"
         u"C\x1b]8;;\x07"
         u"D\x1b[32mE\x1b[mF\x1b[0;0;0;1mG",
         u"ABCDEFG", "0-1 f2Lx|1-2 f2|2-3 f2Ly|3-5 f2|6-7 B"},
        {u"\x1b[4;3mA\x1b[0mB\x1b[4:3mC\x1b[38;5;1mD\x1b[0;38;5;1mE", u"ABCDE",
         "0-1 IU|2-3 U|3-4 f1U|4-5 f1"},
        // Pieces of text of every length between sequences, one longer than gathered, more than is gathered.
        {u"a\x1b[31m0123456789abcdefghij\x1b[0mXY\x1b[32m" + std::u16string(70, u'c') + u"\x1b[mZ\r\x1b[K!",
         u"!", ""},
        {u"a\x1b[31m0123456789abcdefghij\x1b[0mXY\x1b[32m" + std::u16string(70, u'c') + u"\x1b[mZ",
         u"a0123456789abcdefghijXY" + std::u16string(70, u'c') + u"Z", "1-21 f1|23-93 f2"},
        {Times(u"abcdefg\x1b[1m", 90), Times(u"abcdefg", 90), "7-630 B"},
        // Line breaks from VT, each a character gathered with the pieces, past what is gathered.
        {Times(u"a\x1b[31mb\x1b[0m\v", 200), Times(u"ab\n", 200),
         [] {
             std::string runs;
             for (int i = 0; i < 200; ++i)
                 runs += (i == 0 ? "" : "|") + std::to_string(3 * i + 1) + '-' + std::to_string(3 * i + 2) +
                         " f1";
             return runs;
         }()},
        // Erasing and moving within the line, with carriage returns and style runs.
        {u"\r\x1b[K1%\r\x1b[K\x1b[32m10%\x1b[0m\r\x1b[K\x1b[32m100%\x1b[0m done", u"100% done", "0-4 f2"},
        {u"\x1b[31mab\n\r\x1b[K\x1b[32mc\r\x1b[K\x1b[31md\r\x1b[Ke\x1b[32m", u"ab\ne",
         "0-4 f1"}, // empty, then not
        // A reading still gathered after a line end, or after the stored start of its line, then erased.
        {u"\x1b[31m0123456789ab\n\x1b[32mcdefghijklmnopqrstu\r\x1b[K\x1b[0mx\ny" + std::u16string(70, u'c') +
             u"\x1b[32mde\r\x1b[Kf",
         u"0123456789ab\nx\nf", "0-13 f1|15-16 f2"},
        // A tick from within the cells, in the line-drawing set, and repeated.
        {u"abc\x1b[2D\r\x1b[Kxy\x1b[Dz\n\x1b(0\r\x1b[Kqx\x1b(B\n\r\x1b[Kab\x1b[2b", u"xz\n\u2500\u2502\nabbb",
         ""},
        {u"abcdef\x1b[3D\x1b[1K\ndef\x1b[2KY", u"    ef\n   Y", ""},
        {u"abc\x1b[5GX\x1b[2GY\x1b[CZ\b\b\bW", u"aWcZX", ""},
        // Cells, as a terminal (xterm) shows them: tabs to the next multiple of eight, wide characters in
        // two cells, marks in none; a cluster cut by a write or an erase leaves its other cells blank.
        {u"a\tb\rXYZ", u"XYZ     b", ""},
        {u"a\tb\rA", u"A\tb", ""},
        {u"a\tb\r\x1b[4Cx|", u"a   x|  b", ""},
        {u"a\tb\x1b[2G\x1b[3X|", u"a|      b", ""},
        {u"abcdefghij\r\tX", u"abcdefghXj", ""},
        // Overwriting in place, then past the end; not in place over a cluster, a tab or a wide character.
        {u"\x1b[31mabcd\r\x1b[32mXY\x1b[1CZWV", u"XYcZWV", "0-2 f2|2-3 f1|3-6 f2"},
        {u"e\u0301a\tb\u65e5\rXYZ\u00adW\ne\u0301a\tb\rXYZW\n\u65e5x\rAB\n\u65e5x\x1b[2GA",
         u"XYZ\u00adW    b\u65e5\nXYZW    b\nABx\n Ax", ""},
        {u"abc\rab\tX", u"abc\tX", ""},
        // Over the line's opening stretch a character a cell, up to a mark, a wide character, a tab or a
        // pictograph it must not split; then moved, erased, repeated, returned over.
        {u"\x1b[31mabcdef\rXY\x1b[32mZ\x1b[0mWVUT\n", u"XYZWVUT\n", "0-2 f1|2-3 f2"},
        {u"abc\u0301d\rXY\x1b[31mZ|\x1b[m\nabc\u0301d\rX\x1b[31mY\x1b[mZ", u"XYZ|\nXYZd", "2-4 f1|6-7 f1"},
        {u"abcdef\rXY\u65e5Z\nab\u65e5c\rXYZ\nab\tc\rX\x1b[31mY", u"XY\u65e5Zf\nXYZ c\nXY\tc", "13-14 f1"},
        {u"ab\u0301\rXY\na\u00a9b\rXY\nabc\rX\u0301Y\nabc\r\u00a9\ufe0f",
         u"XY\nXYb\nX\u0301Yc\n\u00a9\ufe0fc", ""},
        {u"abcdef\rXY\bZ\x1b[CW\nabcdef\rXY\x1b[K\nabcd\rXY\rZ\nabc\rX\x1b[2b", u"XZcWef\nXY\nZYcd\nXXX", ""},
        // Back over text rewritten in place: past the line's old end, to its start and beyond, then a mark, a
        // wide character, a tab, a CR, a move, a pictograph's half.
        {u"ab\rXYZ\b\bQ|\nabc\rX\b\bYZ\nabcd\rXY\b\u0301Z\nabcd\rXY\b\u65e5",
         u"XQ|\nYZc\nX\u0301Zcd\nX\u65e5d", ""},
        {u"abcdefghij\rXY\b\tZ\nabcd\rXY\b\rZ\nabcd\rXYZ\b\x1b[2DQ\nab\U0001F600\rXY\b\bZ\U0001F600W",
         u"XYcdefghZj\nZYcd\nQYZd\nZ\U0001F600W", ""},
        {u"\x1b[31mabcd\r\x1b[32mXYZ\b\x1b[33mQ\x1b[mR\b\b\b\b\x1b[34mS", u"SYQR", "0-1 f4|1-2 f2|2-3 f3"},
        // Hidden controls (and those the parser drops) inside text, at the end of a line and before a
        // repeat, a CR LF, a mark; over cells written in place. The same as fed a unit at a time.
        {u"a\u0001b\u0002\u0003c\r\n\u007Fd\u0018e\u001A\x1b[b\nf\x01\x1b[b|"
         u"\x1c\r\n\x1dg\x01\u0301\rX\u0005\u0006Y"
         u"\x07\u0301Z\x1f",
         u"abc\ndee\nf|\nXY\u0301Z", ""},
        // Characters of one cell each written over cells in place as far as the first that is not, but the
        // one before it; the rest after them.
        {u"\x1b[31mabcdefgh\x1b[G\x1b[32mWXYZ\u0301Q\b\bR\nab\x1b[GWX\u65e5Y\nabcd\x1b[GW\u0301XY\x1b[Kz"
         u"\nabcdefgh\x1b[G\u65e5xyz\x1b[4GQ",
         u"WXYRQfgh\nWX\u65e5Y\nW\u0301XYz\n\u65e5xQzfgh", "0-5 f2|5-8 f1|8-27 f2"},
        // Back from the end of a line over characters of one cell, past a mark, a wide character, a first
        // cluster of no width; then moved, from the cell the units before it make.
        {u"x\u0301ab\b\bX\n\u0301ab\b\bX\na\u65e5b\b\bX\nab\u0301\bX\na\u65e5bc\bX\x1b[2DY",
         u"x\u0301Xb\nXb\na Xb\naX\na\u65e5YX", ""},
        {u"\u65e5\u672c\u8a9e\rab", u"ab\u672c\u8a9e", ""},
        {u"\u6f22\u5b57\x1b[3GX", u"\u6f22X ", ""},
        {u"\u65e5\u672c\r\x1b[Cx|", u" x| ", ""},
        {u"\u65e5\u672c\u8a9e\x1b[4G\x1b[K|", u"\u65e5 |", ""},
        {u"\u65e5\u672c\u8a9e\x1b[4G\x1b[1K|", u"   |\u8a9e", ""},
        {u"e\u0301tait\rE", u"Etait", ""},
        {u"abc\r\u0301X|", u"X|c", ""},
        {u"abc\r\x1b[C\u0301X|", u"a\u0301X|", ""},
        {u"\U0001F600\rx", u"x ", ""},
        {u"\U0001F600\bx", u" x", ""},
        // A pictograph after a joiner after a tab stands apart from the tab, which takes the joiner (cut
        // between the two or not): it is repeated, a write over the tab leaves it, and within the tab it is
        // written where the cursor is.
        {u"a\b\t\u200d\u00a9\x1b[3b|\n\x1b[G\t\u200d\U0001F600\x1b[G@\n\t\b\b\u200d\U0001F600",
         u"a\t\u200d\u00a9\u00a9\u00a9\u00a9|\n@       \U0001F600\n      \U0001F600", ""},
        {u"a\U0001F600\x1b[D\x1b[K|", u"a |", ""},
        {u"ab\r\U0001F600|\nabc\r\U0001F600\x1b[D|", u"\U0001F600|\n |c", ""},
        // An emoji presentation sequence takes two cells, a joined emoji those of its parts, a lone surrogate
        // one.
        {u"\u2764\ufe0f\rx\n\U0001F468\u200d\U0001F469\rab\nab\r\xD83D\n",
         u"x \nab  \n\xD83D"
         u"b\n",
         ""},
        // Clusters cut across writes end as written whole; a mark, then a write that shortens the line.
        {u"b\bc\u200d\U0001F600\x1b[Dx\n\u2764\b\u2764\ufe0f\x1b[Dy\n\r\u200d\U0001F600",
         u"  x\n y\n\U0001F600", ""},
        {u"x\x1b[3myred\x1b[m \r\u4e16\u200d\u4e16\u4e16\n", u"\u4e16\u200d\u4e16\u4e16\n", ""},
        {u"xyz\r\u2764\u200d\x1b[m\u2764|\b\bQ", u" Q|", ""},
        // Back at the end of a loaded line, text goes past the cells and a step back brings them up to date:
        // wide characters, styles, tabs, marks, joiners and pairs on either side; erased, moved, returned
        // over.
        {u"\x1b[31ma\u65e5b\bc\x1b[32mde\u65e5f\b\b\bX\x1b[0mY\x1b[D\x1b[1mZ", u"a\u65e5cdeXZf",
         "0-3 f1|3-6 f2|6-7 B|7-8 f2"},
        {u"ab\bcd\tx\b\by\tz\b\b\b\bW", u"acd    yx    W  z", ""},
        {u"ab\bc\u0301d\bE\nab\bc\u200d\U0001F600\b\bF", u"ac\u0301E\na F ", ""},
        {u"ab\bc\U0001F600x\b\b\by\nab\bc\xD83D\x1b[K\xDE00\x1b[2b", u"acy x\nac\xD83D\xDE00\xDE00\xDE00",
         ""},
        {u"abc\bd\x1b[Kef\x1b[1Kg\x1b[2P\x1b[2@h\x1b[3X", u"     gh", ""},
        {u"abc\bdef\rXY\bZ\x1b[31m\x1b[2DW\x1b[0m\n\b\u0301a", u"WZdef\na", "0-1 f1"},
        {u"\x1b[32mab\u00a9cdef\x1b[0m\rXY\x1b[31mZ\x1b[2DW\x1b[0m\tQ\b\u65e5", u"XWZcdef\t\u65e5",
         "1-3 f1|3-7 f2"},
        {u"ab\bc\x1b[31mde\x1b[0mf\x1b[4D\x1b[2@\nab\bc\x1b[31mde\x1b[0mf\x1b[4D\x1b[P", u"a  cdef\nadef",
         "4-6 f1|9-11 f1"},
        {u"ab\bc\tde\b\x1b[G\x1b[@X\n\u0301\bab\b\bX\n\u0301\bab\x1b[D\x1b[P",
         u"Xac      de\n\u0301Xb\n\u0301a", ""},
        // Runs of Latin-1 of one cell each, eight at a time, up to a soft hyphen that takes none.
        {u"abcdefgh\u00adijklmnop\b\b\bX\nabcdefgh\u00adij\b\bklmnopqrstu\x1b[12GY",
         u"abcdefgh\u00adijklmXop\nabcdefgh\u00adklmYopqrstu", ""},
        // Deleting, erasing and inserting cells, repeating the character printed last, the line-drawing set.
        {u"abcdef\x1b[3D\x1b[2P", u"abcf", ""},
        {u"abc\x1b[5P|\x1b[5G\x1b[2P|\x1b[7G\x1b[2@X", u"abc|| X", ""},
        {u"abc\r\x1b[P\nabc\b\x1b[C\x1b[2@X", u"bc\nabcX", ""},
        {u"\u65e5\u672c\u8a9e\x1b[4G\x1b[P|", u"\u65e5 | ", ""},
        {u"\x1b[31mab\x1b[32mcd\x1b[0mef\x1b[3G\x1b[P|", u"ab|ef", "0-2 f1"},
        {u"ab\tc\x1b[G\x1b[P\n"
         u"ab\tc\x1b[G\x1b[8@",
         u"b      c\n        ab\tc", ""},
        {u"abcdef\x1b[4D\x1b[2X\nabcdef\x1b[3D\x1b[3X", u"ab  ef\nabc", ""},
        {u"abcdef\x1b[3D\x1b[2@xy", u"abcxydef", ""},
        {u"\u65e5\u672c\x1b[2G\x1b[@|", u" | \u672c", ""},
        {u"\x1b[31mab\x1b[0mcd\x1b[2G\x1b[2@|", u"a| bcd", "0-1 f1|3-4 f1"},
        {u"ab\x1b[3bc\u65e5\x1b[2b|", u"abbbbc\u65e5\u65e5\u65e5|", ""},
        {u"ab\x1b[2b\x1b[2b\x1b[32m\x1b[bc\rx\x1b[b", u"xxbbc", "0-2 f2|4-5 f2"},
        {u"A\x1b(0lqqk\x1b(Bq\x1b)0\x0elqk\x0fq", u"A\u250c\u2500\u2500\u2510q\u250c\u2500\u2510q", ""},
        {u"\x1b[31mabcdef\x1b[0m\r\x1b[2Cxy", u"abxyef", "0-2 f1|4-6 f1"},
        {u"\x1b[31mab\x1b[32mcd\r\x1b[32mXY", u"XYcd", "0-4 f2"},
        {u"\x1b[41mabcd\r\x1b[2C\x1b[K\x1b[0mxy\x1b[44m\r\x1b[3Cz", u"abxz", "0-2 b1|3-4 b4"},
        {u"\x1b[1K\x1b[7CA\x1b[1`B\x1b[3aC\r\x1b[0K", u"", ""},
        {u"\b\bab\r\bc\x1b[5C\x1b[1K", u"", ""}, // BS at column 0; an erase past the line's end cuts it
        {u"\x1b[2000Cx", std::u16string(1024, u' ') + u"x", ""}, // blanks so far out only
        // A pair cut by the chunks past the cells of a line too long for them to hold its first half back.
        {u" \x1b[600bb\U0001F600\x1b[D1", std::u16string(601, u' ') + u"b 1", ""},
        {u"\x1b[38;5mA\x1b[48;2;1;2mB\x1b[38;2;1;2;300mC\x1b[31;38;5;", u"ABC", ""},
        {u"\x1b[31mab\x1b[32mc\x1b[31md\x1b[2D\x1b[Kx", u"abx",
         "0-3 f1"}, // runs from within the erased part go // colours left incomplete
        {u"a\tb\x07"
         u"c\x7f"
         u"d\ve\ff\x0e",
         u"a\tbcd\ne\nf", ""},
        // Links, over renditions and across a reset.
        {u"see \x1b]8;id=1;https://x.org/\x1b\\here\x1b]8;;\x1b\\ end", u"see here end",
         "4-8 Lhttps://x.org/"},
        {u"\x1b]8;;file:///a\x07\x1b[1ma\x1b[0mb\x1b]8;;\x07"
         u"c",
         u"abc", "0-1 BLfile:///a|1-2 Lfile:///a"},
    });

    // A command's output starts in the default colours, and an unfinished sequence ends with the last.
    OutputText text;
    OutputStyles styles;
    ConsoleOutput output(text, &styles);
    output.Feed(u"\x1b]8;;x\x07\x1b[31mred\x1b(0\x1b[3");
    output.StartRun();
    output.Feed(u"1mA");
    EXPECT_EQ(text.Text(0, text.Size()), u"red1mA");
    EXPECT_EQ(Describe(styles, text.Size()), "0-3 f1Lx");
}

// Style runs over more than two pages of them: found, listed, cut and reassigned across a page's edge.
TEST(OutputStyles, RunsAcrossPages) {
    OutputStyles styles;
    const OutputStyles::StyleId red = styles.Intern({TextColour::Indexed(1), {}, 0, 0});
    const OutputStyles::StyleId blue = styles.Intern({TextColour::Indexed(4), {}, 0, 0});
    for (std::size_t run = 0; run < 2 * OutputStyles::PageRuns + 2; ++run)
        styles.Append(2 * run, run % 2 == 0 ? red : blue); // [2 run, 2 run + 2)
    const std::size_t edge = 2 * OutputStyles::PageRuns;   // the second page's first run starts here
    const auto runs = [&styles](std::size_t from, std::size_t to) {
        std::string out;
        for (const OutputStyles::Run& run : styles.Runs(from, to))
            out += std::to_string(run.from) + '-' + std::to_string(run.to) + ':' + std::to_string(run.style) +
                   ' ';
        return out;
    };
    const auto at = [edge](int offset) { return std::to_string(edge + offset); };
    EXPECT_EQ(std::pair(styles.StyleAt(edge - 1), styles.StyleAt(edge)), std::pair(blue, red));
    EXPECT_EQ(runs(edge - 1, edge + 1), at(-1) + '-' + at(0) + ":2 " + at(0) + '-' + at(1) + ":1 ");
    styles.Truncate(edge); // to the page's edge, and on from there
    EXPECT_EQ(styles.StyleAtEnd(), blue);
    styles.Append(edge, red);
    styles.Assign(edge - 3, edge - 1, red, edge + 5);
    EXPECT_EQ(runs(edge - 4, edge + 5),
              at(-4) + '-' + at(-1) + ":1 " + at(-1) + '-' + at(0) + ":2 " + at(0) + '-' + at(5) + ":1 ");
    styles.Truncate(2); // back into the first page
    EXPECT_EQ(runs(0, edge), "0-" + at(0) + ":1 ");
}
