// What a screen reader sees of the output view: a read-only text box, read a cluster, a word or a line at a
// time, with the rectangles of the characters as they are drawn.
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

QAccessibleInterface* OutputAccessibleFor(const QString& className, QObject* object);
