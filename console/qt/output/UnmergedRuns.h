// Text that no installed font can draw, laid out without font merging. Qt's text engine looks for a fallback
// font for each character its font lacks, and where none has it, it looks again every time, loading or
// matching every installed font in turn before it draws the font's own missing-glyph box:
//   - a character that no font covers at all (an unassigned code point, private use): some 250 fontconfig
//     matches each time a layout holds one;
//   - a script that Qt shapes only with OpenType tables (Syriac, Thaana, the Indic scripts, Sinhala, Khmer,
//     N'Ko) when no font that claims it has a substitution table naming it: every installed font loaded,
//     once, a third of a second and more for one Thaana letter in random bytes.
// Laid out without merging, such text is drawn with the same boxes as after the search, without it; the text
// itself, its clusters and its direction are untouched (the format only changes how fonts are chosen).
#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

// Format ranges over `text` (a piece of a line) that lay out without font merging: the runs that Qt's text
// engine would shape in a script no font shapes, and the characters no installed font covers (controls and
// format characters left out, as the engine draws them without a font). Empty for ordinary text.
QList<QTextLayout::FormatRange> UnmergedRuns(const QString& text);

// Format ranges over `text`, outside `unmerged` and outside the `styled` ranges set in bold or italic, that
// name as their only family the one that alone covers a row of characters (every face of it, no face of
// another family). The text engine would find that family too, but only after matching its way through the
// fallback list of each script it meets such characters in, one fontconfig match for every font before it:
// hundreds for a screen of random bytes. Named, it is matched once. Named alone, not after the text font:
// the engine keeps one font with its fallbacks for each first family and script, so a family named second
// would be lost to whichever was named first in that script. The family draws those characters as it would
// have as a fallback, with the same glyphs, advances and line heights; bold and italic rows are left to the
// engine, whose fallback may embolden or slant the family's regular face (as it happens to have loaded it)
// where the family named alone would take its own bold or italic one. Only rows whose neighbours that family
// cannot draw, so that the engine shapes the same characters together as it would have.
QList<QTextLayout::FormatRange> SoleFamilyRuns(const QString& text,
                                               const QList<QTextLayout::FormatRange>& unmerged,
                                               const QList<QTextLayout::FormatRange>& styled);

// Whether some installed font covers the character (fontconfig's view of every font, read once).
bool SomeFontCovers(char32_t c);
