#include "CommandHistory.h"

void CommandHistory::Add(const std::u16string& line) {
    if (!line.empty() && (lines_.empty() || lines_.back() != line))
        lines_.push_back(line);
    Restart();
}

std::optional<std::u16string> CommandHistory::Older(const std::u16string& shown) {
    if (position_ == 0)
        return std::nullopt;
    if (position_ == lines_.size())
        typed_ = shown;
    return lines_[--position_];
}

std::optional<std::u16string> CommandHistory::Newer() {
    if (position_ >= lines_.size())
        return std::nullopt;
    return ++position_ == lines_.size() ? typed_ : lines_[position_];
}

void CommandHistory::Restart() {
    position_ = lines_.size();
    typed_.clear();
}
