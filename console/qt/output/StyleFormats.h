// The output's colours, attributes and links for Qt's text engine: the formats of a line's style runs, for
// a QTextLayout of that line, and the links a Ctrl+click may open.
#pragma once

#include "OutputStyles.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QTextLayout>

#include <cstddef>

// The colour of palette entry `index`: 16 colours chosen to read well on the black box, the 6×6×6 cube and
// the 24 greys.
QColor PaletteColour(std::uint8_t index);

// The format of one style over the box's default colours. Links are underlined.
QTextCharFormat StyleFormat(const TextStyle& style, const QColor& foreground, const QColor& background);

// The formats of the text in [lineStart, lineEnd), at positions relative to lineStart; text in the default
// style has none. A selection drawn over them should set both its colours, so that it shows as one.
QList<QTextLayout::FormatRange> LineFormats(const OutputStyles& styles, std::size_t lineStart,
                                            std::size_t lineEnd, const QColor& foreground = Qt::white,
                                            const QColor& background = Qt::black);

// The target of the link over the character at `position`, or an empty string.
QString LinkAt(const OutputStyles& styles, std::size_t position);

// What a tooltip over a link says: its target, and how to open it when it may be opened.
QString LinkToolTip(const QString& link);

// Opens an http, https or file link with the desktop's handler; any other link is refused (false).
bool OpenLink(const QString& link);
