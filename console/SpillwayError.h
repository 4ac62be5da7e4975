// An error that reached the Enter handler, as its warning reports it: the same kind of failure always gives
// the same description and number, so a warning a user quotes names its cause.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

struct SpillwayError {
    std::u16string Description;
    std::u16string Source;
    std::int32_t Number = 0;

    // Describes the exception being handled; call only inside a catch block. Never throws for a known kind.
    static SpillwayError FromCurrentException();

    // The warning's text: description, source and number joined by " - ".
    std::u16string MessageText() const;
};

// Thrown when Enter is pressed although the load step could not create the runner.
class RunnerNotCreated : public std::logic_error {
public:
    RunnerNotCreated() : std::logic_error("the command runner was never created") {}
};
