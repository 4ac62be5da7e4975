#include "QtClusters.h"

#include <QString>
#include <QTextBoundaryFinder>

#include <algorithm>

std::size_t QtClusterStart(const std::function<char16_t(std::size_t)>& at, std::size_t begin, std::size_t end,
                           std::size_t position) {
    const std::size_t from = position > begin + ClusterReach ? position - ClusterReach : begin;
    const std::size_t to = std::min(end, position + ClusterReach);
    QString nearby(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    for (std::size_t i = from; i < to; ++i) {
        nearby[static_cast<qsizetype>(i - from)] = QChar(at(i));
    }
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, nearby);
    clusters.setPosition(static_cast<qsizetype>(position - from));
    if (clusters.isAtBoundary()) {
        return position;
    }
    return from + static_cast<std::size_t>(std::max<qsizetype>(clusters.toPreviousBoundary(), 0));
}
