#include "StyleFormats.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include <array>

namespace {

// Near the usual sixteen, lighter where the usual ones are hard to read on black (blue above all).
constexpr std::array<QRgb, 16> Sixteen = {
    0x2E3436, 0xE0443E, 0x5FB336, 0xD7B32F, 0x5C8FE6, 0xB36FC4, 0x2FB3B3, 0xD3D7CF,
    0x6E7375, 0xFF6B64, 0x8AE234, 0xFCE94F, 0x8CB4FF, 0xE39EF0, 0x5FE8E8, 0xFFFFFF,
};

QColor ColourOf(TextColour colour, const QColor& otherwise) {
    switch (colour.What()) {
    case TextColour::Kind::Indexed:
        return PaletteColour(colour.Index());
    case TextColour::Kind::Direct:
        return QColor::fromRgb(colour.Rgb());
    case TextColour::Kind::Default:
        break;
    }
    return otherwise;
}

bool Openable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https" || scheme == u"file");
}

} // namespace

QColor PaletteColour(std::uint8_t index) {
    if (index < 16) {
        return QColor::fromRgb(Sixteen[index]);
    }
    if (index < 232) {
        const int i = index - 16;
        const auto level = [](int step) { return step == 0 ? 0 : 55 + step * 40; };
        return {level(i / 36), level(i / 6 % 6), level(i % 6)};
    }
    const int grey = 8 + (index - 232) * 10;
    return {grey, grey, grey};
}

QTextCharFormat StyleFormat(const TextStyle& style, const QColor& foreground, const QColor& background) {
    QColor text = ColourOf(style.foreground, foreground);
    QColor ground = ColourOf(style.background, background);
    bool ownGround = style.background.What() != TextColour::Kind::Default;
    if ((style.attributes & TextStyle::Inverse) != 0) {
        std::swap(text, ground);
        ownGround = true;
    }
    if ((style.attributes & TextStyle::Faint) != 0) { // halfway to the background
        text = QColor((text.red() + ground.red()) / 2, (text.green() + ground.green()) / 2,
                      (text.blue() + ground.blue()) / 2);
    }
    if ((style.attributes & TextStyle::Conceal) != 0) {
        text = ground; // still there to select and copy
    }
    QTextCharFormat format;
    format.setForeground(text);
    if (ownGround) {
        format.setBackground(ground);
    }
    if ((style.attributes & TextStyle::Bold) != 0) {
        format.setFontWeight(QFont::Bold);
    }
    format.setFontItalic((style.attributes & TextStyle::Italic) != 0);
    format.setFontUnderline((style.attributes & TextStyle::Underline) != 0 || style.link != 0);
    format.setFontStrikeOut((style.attributes & TextStyle::Strike) != 0);
    return format;
}

QList<QTextLayout::FormatRange> LineFormats(const OutputStyles& styles, std::size_t lineStart,
                                            std::size_t lineEnd, const QColor& foreground,
                                            const QColor& background) {
    QList<QTextLayout::FormatRange> formats;
    for (const OutputStyles::Run& run : styles.Runs(lineStart, lineEnd)) {
        formats.append({static_cast<int>(run.from - lineStart), static_cast<int>(run.to - run.from),
                        StyleFormat(styles.Style(run.style), foreground, background)});
    }
    return formats;
}

QString LinkAt(const OutputStyles& styles, std::size_t position) {
    const std::u16string_view link = styles.Link(styles.Style(styles.StyleAt(position)).link);
    return QString::fromUtf16(link.data(), static_cast<qsizetype>(link.size()));
}

QString LinkToolTip(const QString& link) {
    if (!Openable(QUrl(link))) {
        return link;
    }
    return link + u'\n' + QCoreApplication::translate("OutputView", "Ctrl+click to open");
}

bool OpenLink(const QString& link) {
    const QUrl url(link);
    return Openable(url) && QDesktopServices::openUrl(url);
}
