#include "SpillwayError.h"

#include "Utf8.h"

#include <new>
#include <system_error>

namespace {

// The source is always the program itself. Each kind of failure keeps one number, and these are the numbers
// users already quote for them, so a reported number means the same thing in every version; a system error
// keeps the system's own code instead.
constexpr char16_t ErrorSource[] = u"Ombrel";
constexpr std::int32_t OutOfMemoryNumber = 7;       // an allocation failed
constexpr std::int32_t OutOfStringSpaceNumber = 14; // a text grew past what a string can hold
constexpr std::int32_t InternalErrorNumber = 51;    // anything else: a fault of the program, not of the input
constexpr std::int32_t ObjectNotSetNumber = 91; // Enter without a runner: the load step could not create it

} // namespace

SpillwayError SpillwayError::FromCurrentException() {
    using spillways_detail::FromUtf8;
    try {
        throw;
    } catch (const RunnerNotCreated&) {
        return {u"Object variable or With block variable not set", ErrorSource, ObjectNotSetNumber};
    } catch (const std::bad_alloc&) {
        return {u"Out of memory", ErrorSource, OutOfMemoryNumber};
    } catch (const std::length_error&) {
        return {u"Out of string space", ErrorSource, OutOfStringSpaceNumber};
    } catch (const std::system_error& error) {
        return {FromUtf8(error.what()), ErrorSource, error.code().value()};
    } catch (const std::exception& error) {
        std::u16string description = FromUtf8(error.what());
        return {description.empty() ? u"Internal error" : description, ErrorSource, InternalErrorNumber};
    } catch (...) {
        return {u"Internal error", ErrorSource, InternalErrorNumber};
    }
}

std::u16string SpillwayError::MessageText() const {
    const std::string number = std::to_string(Number);
    return Description + u" - " + Source + u" - " + std::u16string(number.begin(), number.end());
}
