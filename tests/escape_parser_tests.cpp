// The escape parser's recognition of sequences: every kind not shown is hidden whole, and unfinished,
// malformed and overlong ones end without eating the text after them, however the chunks cut.
#include "ConsoleOutputRows.h"

const std::u16string Digits300(300, u'1');
const std::u16string LongString(EscapeParser::MaxStringLength + 5, u'q');

TEST(EscapeParser, HidesSequencesWholeAndEndsBrokenOnesBeforeTheTextAfterThem) {
    CheckRows({
        // Everything else hidden, whole.
        {u"\x1b]0;title\x07"
         u"A\x1b[?25lB\x1b(0C\x1bPq#0;2;0\x1b\\D\x1b_apc\x1b\\E\x1b[2J\x1b[HF\x1b\\\x1b"
         u"7G",
         u"ABCDEFG", ""},
        // Unfinished and malformed sequences end without eating the text after them.
        {u"a\x1b\nb\x1b[12\nc\x1b]0;unended\nd\x1bP1\re", u"a\nb\nc\ne", ""},
        {u"x\x1b[1\u00e9y\x1b\u00e8z", u"x\u00e9y\u00e8z", ""},
        {u"\x1b[1<2mA\x1b[1\x18"
         u"B\x1b]8;;u\x1b[31mC\x1b]8;;u\x1a"
         u"D",
         u"ABCD", "2-4 f1"},
        {u"\x1b[" + Digits300 + u"mX", Digits300.substr(EscapeParser::MaxSequenceLength) + u"mX", ""},
        {u"\x1b[4;" + Digits300.substr(0, 253) + u"mX", u"X", "0-1 U"}, // the longest sequence, one too long
        {u"\x1b[4;" + Digits300.substr(0, 254) + u"mX", u"mX", ""},
        {u"\x1bP" + LongString + u"Z", u"qqqqqZ", ""},
        // Short plain sequences, read in one pass when whole in a chunk: left-out parameters, a control or a
        // sub-parameter within, the longest such and one longer.
        {u"\x1b[1;;4mA\x1b[;31mB\x1b[1;mC\x1b[3\n2mD\x1b[1;4:mE", u"ABC\n2mDE", "0-1 U|1-2 f1|7-8 BU"},
        {u"\x1b[>4mA\x1b[31mB\x1b[1 q\x1b[4mC\x1b[0;4294967327mD\x1b[0;1;100mE\x1b[1;2;3456mF", u"ABCDEF",
         "1-2 f1|2-3 f1U|4-5 b8B|5-6 b8BF"},
        {u"\x1b[" + Digits300.substr(0, 43) + u"0;31mF\x1b[" + Digits300.substr(0, 44) + u"0;32mG", u"FG",
         "0-1 f1|1-2 f2"},
        // Left-out parameters, as many as fit and more: those past the last kept are dropped.
        {u"\x1b[" + std::u16string(29, u';') + u"1;31mH\x1b[" + std::u16string(40, u';') + u"1;32mI", u"HI",
         "0-1 f1B"},
    });
}
