// The lines entered into the command box in this session, recalled with Up and Down as a shell recalls
// them. Kept in memory only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CommandHistory {
public:
    // A line entered: kept unless it is empty or repeats the newest line unchanged. Browsing starts again
    // below the newest line.
    void Add(const std::u16string& line);

    // The line before the one shown (Up), or nothing at the oldest. `shown` is what the box holds; leaving
    // the line being typed keeps it, to come back to below the newest line.
    std::optional<std::u16string> Older(const std::u16string& shown);

    // The line after the one shown (Down): the next newer line, or below the newest the line that was being
    // typed; nothing there.
    std::optional<std::u16string> Newer();

    // Browsing starts again below the newest line, with nothing typed.
    void Restart();

private:
    std::vector<std::u16string> lines_;
    std::size_t position_ = 0; // lines_.size() stands for the line being typed
    std::u16string typed_;
};
