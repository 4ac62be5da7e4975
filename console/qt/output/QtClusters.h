// Grapheme clusters where Qt is present: its text engine's rule. The layouts' caret positions follow it, and
// what else the window asks of clusters (where a long line's piece may be cut, where a match may begin or
// end) asks here, so the view and Find never disagree on a cluster.
#pragma once

#include <cstddef>
#include <functional>

// Characters looked at either side of a position: more than any cluster in real text takes.
constexpr std::size_t ClusterReach = 32;

// The start of the cluster that holds `position` in [begin, end), looking no further than ClusterReach
// characters either side; `position` itself when a cluster starts there, and no less than
// max(begin, position - ClusterReach) when the cluster reaches further back.
std::size_t QtClusterStart(const std::function<char16_t(std::size_t)>& at, std::size_t begin, std::size_t end,
                           std::size_t position);
