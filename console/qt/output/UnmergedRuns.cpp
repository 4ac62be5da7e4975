#include "UnmergedRuns.h"

#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <vector>

namespace {

struct ShapedScript {
    QChar::Script script;
    QFontDatabase::WritingSystem writingSystem;
    const char* tag;    // its OpenType script tag
    const char* newTag; // the tag of its second shaping model ('...3' is the third), or none
};

// The scripts Qt shapes only with OpenType tables.
constexpr std::array<ShapedScript, 14> ShapedScripts{{
    {QChar::Script_Syriac, QFontDatabase::Syriac, "syrc", nullptr},
    {QChar::Script_Thaana, QFontDatabase::Thaana, "thaa", nullptr},
    {QChar::Script_Devanagari, QFontDatabase::Devanagari, "deva", "dev2"},
    {QChar::Script_Bengali, QFontDatabase::Bengali, "beng", "bng2"},
    {QChar::Script_Gurmukhi, QFontDatabase::Gurmukhi, "guru", "gur2"},
    {QChar::Script_Gujarati, QFontDatabase::Gujarati, "gujr", "gjr2"},
    {QChar::Script_Oriya, QFontDatabase::Oriya, "orya", "ory2"},
    {QChar::Script_Tamil, QFontDatabase::Tamil, "taml", "tml2"},
    {QChar::Script_Telugu, QFontDatabase::Telugu, "telu", "tel2"},
    {QChar::Script_Kannada, QFontDatabase::Kannada, "knda", "knd2"},
    {QChar::Script_Malayalam, QFontDatabase::Malayalam, "mlym", "mlm2"},
    {QChar::Script_Sinhala, QFontDatabase::Sinhala, "sinh", nullptr},
    {QChar::Script_Khmer, QFontDatabase::Khmer, "khmr", nullptr},
    {QChar::Script_Nko, QFontDatabase::Nko, "nko ", nullptr},
}};

bool NamesScript(const QByteArray& gsub, const ShapedScript& shaped) {
    const auto* data = reinterpret_cast<const uchar*>(gsub.constData());
    const auto size = static_cast<std::size_t>(gsub.size());
    if (size < 6) {
        return false;
    }
    const std::size_t list = qFromBigEndian<quint16>(data + 4);
    if (list + 2 > size) {
        return false;
    }
    const std::size_t count = qFromBigEndian<quint16>(data + list);
    for (std::size_t i = 0; i < count && list + 2 + 6 * i + 4 <= size; ++i) {
        const char* tag = reinterpret_cast<const char*>(data + list + 2 + 6 * i);
        if (std::memcmp(tag, shaped.tag, 4) == 0 ||
            (shaped.newTag != nullptr && std::memcmp(tag, shaped.newTag, 3) == 0 &&
             (tag[3] == '2' || tag[3] == '3'))) {
            return true;
        }
    }
    return false;
}

// Whether a font that claims the script's writing system can shape it: as Qt judges, by a substitution
// table that names the script, or an AAT table.
bool Shapeable(const ShapedScript& shaped) {
    for (const QString& family : QFontDatabase::families(shaped.writingSystem)) {
        const QRawFont font = QRawFont::fromFont(QFont(family));
        if (!font.isValid()) {
            continue;
        }
        if (NamesScript(font.fontTable("GSUB"), shaped) || !font.fontTable("morx").isEmpty() ||
            !font.fontTable("mort").isEmpty()) {
            return true;
        }
    }
    return false;
}

bool Unshaped(QChar::Script script) {
    enum class Known : std::uint8_t { No, Shapeable, Unshaped };
    static std::array<Known, QChar::ScriptCount> known{};
    if (script < QChar::Script_Syriac) {
        return false;
    }
    Known& answer = known[script];
    if (answer == Known::No) {
        answer = Known::Shapeable;
        for (const ShapedScript& shaped : ShapedScripts) {
            if (shaped.script == script && !Shapeable(shaped)) {
                answer = Known::Unshaped;
            }
        }
    }
    return answer == Known::Unshaped;
}

bool IsMark(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// What fontconfig knows of every installed font, read once: the characters of the Basic Multilingual Plane
// that some font covers, from the union of every font's character set (the planes above are asked of that
// set), and, for each of those characters, the one family that alone covers it, where there is one.
class Coverage {
public:
    Coverage() {
        FcPattern* any = FcPatternCreate();
        FcObjectSet* wanted = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
        FcFontSet* fonts = any != nullptr && wanted != nullptr ? FcFontList(nullptr, any, wanted) : nullptr;
        for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
            FcCharSet* charset = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch) {
                FcCharSetMerge(all_.get(), charset, nullptr);
                FcChar8* family = nullptr;
                FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family);
                AddFont(family != nullptr ? QString::fromUtf8(reinterpret_cast<const char*>(family))
                                          : QString(),
                        charset);
            }
        }
        if (fonts != nullptr) {
            FcFontSetDestroy(fonts);
        }
        if (wanted != nullptr) {
            FcObjectSetDestroy(wanted);
        }
        if (any != nullptr) {
            FcPatternDestroy(any);
        }
        // Where fontconfig knows no font at all, every character counts as covered: nothing changes.
        empty_ = std::all_of(basic_.begin(), basic_.end(), [](FcChar32 bits) { return bits == 0; }) &&
                 FcCharSetCount(all_.get()) == 0;
    }
    bool Covers(char32_t c) const {
        if (empty_) {
            return true;
        }
        return c < 0x10000 ? ((basic_[c / 32] >> (c % 32)) & 1) != 0
                           : FcCharSetHasChar(all_.get(), c) == FcTrue;
    }
    // The family whose every face covers the character and no other family's face does, or -1.
    int SoleFamily(char32_t c) const {
        if (c >= 0x10000 || overflow_) {
            return -1;
        }
        const std::uint16_t owner = owner_[c];
        if (owner == NoFamily || owner == Families || fonts_[c] != families_[owner].faces.size()) {
            return -1;
        }
        return owner;
    }
    const QString& FamilyName(int family) const { return families_[static_cast<std::size_t>(family)].name; }
    // Whether some face of the family covers the character.
    bool FamilyCovers(int family, char32_t c) const {
        const auto& faces = families_[static_cast<std::size_t>(family)].faces;
        return std::any_of(faces.begin(), faces.end(),
                           [c](const auto& face) { return FcCharSetHasChar(face.get(), c) == FcTrue; });
    }

private:
    static constexpr std::uint16_t NoFamily = 0xFFFF;
    static constexpr std::uint16_t Families = 0xFFFE; // more than one

    // Calls `each(first, bits)` for every 32 characters of the Basic Multilingual Plane that the set holds
    // some of, with their bits.
    template <typename Each>
    static void ForEachBasicWord(FcCharSet* charset, Each each) {
        std::array<FcChar32, FC_CHARSET_MAP_SIZE> map{};
        FcChar32 next = 0;
        for (FcChar32 page = FcCharSetFirstPage(charset, map.data(), &next);
             page != FC_CHARSET_DONE && page < 0x10000;
             page = FcCharSetNextPage(charset, map.data(), &next)) {
            for (FcChar32 word = 0; word < FC_CHARSET_MAP_SIZE; ++word) {
                if (map[word] != 0) {
                    each(static_cast<char32_t>(page + word * 32), map[word]);
                }
            }
        }
    }
    void AddFont(const QString& name, FcCharSet* charset) {
        const auto known = indices_.constFind(name);
        const auto family = static_cast<std::uint16_t>(known != indices_.cend() ? *known : families_.size());
        if (known == indices_.cend()) {
            overflow_ = overflow_ || families_.size() >= Families;
            if (overflow_) { // beyond what the table tells apart: no character has a sole family
                ForEachBasicWord(charset,
                                 [this](char32_t first, FcChar32 bits) { basic_[first / 32] |= bits; });
                return;
            }
            indices_.insert(name, family);
            families_.push_back({name, {}});
        }
        families_[family].faces.emplace_back(FcCharSetCopy(charset), &FcCharSetDestroy);
        ForEachBasicWord(charset, [this, family](char32_t first, FcChar32 bits) {
            basic_[first / 32] |= bits;
            // Characters that several families cover already are passed over: most of a CJK font's.
            FcChar32& several = several_[first / 32];
            for (bits &= ~several; bits != 0; bits &= bits - 1) {
                const int bit = std::countr_zero(bits);
                std::uint16_t& owner = owner_[first + bit];
                if (owner == NoFamily) {
                    owner = family;
                }
                if (owner == family) {
                    ++fonts_[first + bit];
                } else {
                    owner = Families;
                    several |= FcChar32{1} << bit;
                }
            }
        });
    }

    struct Family {
        QString name;
        std::vector<std::unique_ptr<FcCharSet, decltype(&FcCharSetDestroy)>> faces; // their character sets
    };
    std::unique_ptr<FcCharSet, decltype(&FcCharSetDestroy)> all_{FcCharSetCreate(), &FcCharSetDestroy};
    std::vector<FcChar32> basic_ = std::vector<FcChar32>(0x10000 / 32); // a bit for each character
    bool empty_ = true;
    std::vector<Family> families_;
    QHash<QString, std::uint16_t> indices_;
    bool overflow_ = false;
    // For each character: a family's index, NoFamily or Families; how many faces of that family cover it;
    // and a bit for each that several families cover.
    std::vector<std::uint16_t> owner_ = std::vector<std::uint16_t>(0x10000, NoFamily);
    std::vector<std::uint16_t> fonts_ = std::vector<std::uint16_t>(0x10000);
    std::vector<FcChar32> several_ = std::vector<FcChar32>(0x10000 / 32);
};

const Coverage& InstalledFonts() {
    static const Coverage coverage;
    return coverage;
}

// Drawn by the engine without a font (a tab, a joiner) or kept within its neighbours' run for shaping.
bool DrawnWithoutFont(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

// The runs in scripts no font shapes. They follow the text engine's own: common characters and marks go
// with the script before them, or with the first script after them at the start of the text.
void AddUnshapedRuns(const QString& text, const QTextCharFormat& unmerged,
                     QList<QTextLayout::FormatRange>& runs) {
    qsizetype start = 0;
    QChar::Script script = QChar::Script_Common;
    const auto close = [&](qsizetype end) {
        if (Unshaped(script)) {
            runs.append({static_cast<int>(start), static_cast<int>(end - start), unmerged});
        }
    };
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype at = i;
        char32_t c = text[i++].unicode();
        if (QChar::isHighSurrogate(c) && i < text.size() && text[i].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[i++].unicode());
        }
        const QChar::Script next = QChar::script(c);
        if (next == script || next <= QChar::Script_Common) {
            continue;
        }
        if (script <= QChar::Script_Common) {
            script = next;
            continue;
        }
        if (IsMark(c)) {
            continue;
        }
        close(at);
        start = at;
        script = next;
    }
    close(text.size());
}

// The characters no font covers, a range for each row of them.
void AddUncovered(const QString& text, const QTextCharFormat& unmerged,
                  QList<QTextLayout::FormatRange>& runs) {
    qsizetype start = -1;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype at = i;
        char32_t c = text[i++].unicode();
        if (c < 0x80) { // ASCII: covered wherever there is a font at all, or drawn without one
            if (start >= 0) {
                runs.append({static_cast<int>(start), static_cast<int>(at - start), unmerged});
                start = -1;
            }
            continue;
        }
        if (QChar::isHighSurrogate(c) && i < text.size() && text[i].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[i++].unicode());
        }
        const bool uncovered = !SomeFontCovers(c) && !DrawnWithoutFont(c);
        if (uncovered && start < 0) {
            start = at;
        } else if (!uncovered && start >= 0) {
            runs.append({static_cast<int>(start), static_cast<int>(at - start), unmerged});
            start = -1;
        }
    }
    if (start >= 0) {
        runs.append({static_cast<int>(start), static_cast<int>(text.size() - start), unmerged});
    }
}

} // namespace

bool SomeFontCovers(char32_t c) {
    return InstalledFonts().Covers(c);
}

QList<QTextLayout::FormatRange> UnmergedRuns(const QString& text) {
    QTextCharFormat unmerged;
    unmerged.setFontStyleStrategy(QFont::NoFontMerging);
    QList<QTextLayout::FormatRange> runs;
    AddUnshapedRuns(text, unmerged, runs);
    AddUncovered(text, unmerged, runs);
    return runs;
}

QList<QTextLayout::FormatRange> SoleFamilyRuns(const QString& text,
                                               const QList<QTextLayout::FormatRange>& unmerged,
                                               const QList<QTextLayout::FormatRange>& styled) {
    std::vector<bool> left(static_cast<std::size_t>(text.size()));
    for (const QTextLayout::FormatRange& range : unmerged) {
        std::fill_n(left.begin() + range.start, range.length, true);
    }
    for (const QTextLayout::FormatRange& range : styled) {
        if (range.format.fontWeight() != QFont::Normal || range.format.fontItalic()) {
            std::fill_n(left.begin() + range.start, range.length, true);
        }
    }
    const Coverage& fonts = InstalledFonts();
    const auto characterAt = [&text](qsizetype i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            return QChar::surrogateToUcs4(c, text[i + 1].unicode());
        }
        return static_cast<char32_t>(c);
    };
    // A neighbour that the family might draw too: the engine would shape it with the run, in one go.
    const auto joins = [&](int family, qsizetype i) {
        if (i < 0 || i >= text.size()) {
            return false;
        }
        const char32_t c =
            QChar::isLowSurrogate(text[i].unicode()) && i > 0 ? characterAt(i - 1) : characterAt(i);
        // ASCII is the text font's own; line ends are drawn by no font.
        if (c < 0x80 || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            return false;
        }
        return fonts.FamilyCovers(family, c);
    };
    QList<QTextLayout::FormatRange> runs;
    for (qsizetype i = 0; i < text.size();) {
        const char16_t c = text[i].unicode();
        // Controls past ASCII (U+0080 to U+009F) are looked for in the fallback fonts too, and drawn.
        const int family =
            c < 0x80 || left[static_cast<std::size_t>(i)] || QChar::isSurrogate(c) ? -1 : fonts.SoleFamily(c);
        if (family < 0) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (++i < text.size() && !left[static_cast<std::size_t>(i)] &&
               fonts.SoleFamily(text[i].unicode()) == family) {
        }
        if (!joins(family, start - 1) && !joins(family, i)) {
            QTextCharFormat format;
            format.setFontFamilies({fonts.FamilyName(family)});
            runs.append({static_cast<int>(start), static_cast<int>(i - start), format});
        }
    }
    return runs;
}
