#include "UnmergedRuns.h"

#include <QFontDatabase>
#include <QRawFont>
#include <QtEndian>

#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <memory>

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

// The characters of the Basic Multilingual Plane that some font covers, from the union of every font's
// character set; the planes above are asked of that set.
class Coverage {
public:
    Coverage() {
        FcPattern* any = FcPatternCreate();
        FcObjectSet* charsets = FcObjectSetBuild(FC_CHARSET, nullptr);
        FcFontSet* fonts =
            any != nullptr && charsets != nullptr ? FcFontList(nullptr, any, charsets) : nullptr;
        for (int i = 0; fonts != nullptr && i < fonts->nfont; ++i) {
            FcCharSet* charset = nullptr;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charset) == FcResultMatch) {
                FcCharSetMerge(all_.get(), charset, nullptr);
            }
        }
        if (fonts != nullptr) {
            FcFontSetDestroy(fonts);
        }
        if (charsets != nullptr) {
            FcObjectSetDestroy(charsets);
        }
        if (any != nullptr) {
            FcPatternDestroy(any);
        }
        std::array<FcChar32, FC_CHARSET_MAP_SIZE> map{};
        FcChar32 next = 0;
        for (FcChar32 page = FcCharSetFirstPage(all_.get(), map.data(), &next);
             page != FC_CHARSET_DONE && page < 0x10000;
             page = FcCharSetNextPage(all_.get(), map.data(), &next)) {
            for (FcChar32 bit = 0; bit < 256; ++bit) {
                basic_[page + bit] = ((map[bit / 32] >> (bit % 32)) & 1) != 0;
            }
        }
        // Where fontconfig knows no font at all, every character counts as covered: nothing changes.
        empty_ = FcCharSetCount(all_.get()) == 0;
    }
    bool Covers(char32_t c) const {
        if (empty_) {
            return true;
        }
        return c < 0x10000 ? basic_[c] : FcCharSetHasChar(all_.get(), c) == FcTrue;
    }

private:
    std::unique_ptr<FcCharSet, decltype(&FcCharSetDestroy)> all_{FcCharSetCreate(), &FcCharSetDestroy};
    std::bitset<0x10000> basic_;
    bool empty_ = true;
};

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
    static const Coverage coverage;
    return coverage.Covers(c);
}

QList<QTextLayout::FormatRange> UnmergedRuns(const QString& text) {
    QTextCharFormat unmerged;
    unmerged.setFontStyleStrategy(QFont::NoFontMerging);
    QList<QTextLayout::FormatRange> runs;
    AddUnshapedRuns(text, unmerged, runs);
    AddUncovered(text, unmerged, runs);
    return runs;
}
