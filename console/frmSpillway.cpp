#include "frmSpillway.h"

#include "Utf8.h"

#include <new>
#include <stdexcept>
#include <system_error>

const std::u16string frmSpillway::Caption = u"Quarn's Command Prompt";   // NOLINT(cert-err58-cpp)
const std::u16string frmSpillway::Placeholder = u"(Enter Keyword Here)"; // NOLINT(cert-err58-cpp)

namespace {

std::u16string FromUtf8(std::string_view bytes) {
    std::u16string text;
    spillways_detail::DecodeUtf8(bytes, text, true);
    return text;
}

// Each kind of failure keeps one number in the warning, so a number a user reports always means the same
// thing; the source is always the program itself.
constexpr char16_t ErrorSource[] = u"Ombrel";
constexpr std::int32_t OutOfMemoryNumber = 7;
constexpr std::int32_t OutOfStringSpaceNumber = 14;
constexpr std::int32_t InternalErrorNumber = 51;
constexpr std::int32_t ObjectNotSetNumber = 91;

// Enter pressed although the load step could not create the runner.
class RunnerNotCreated : public std::logic_error {
public:
    RunnerNotCreated() : std::logic_error("the command runner was never created") {}
};

} // namespace

SpillwayError SpillwayError::FromCurrentException() {
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

frmSpillway::frmSpillway(SpillwayControls& controls, SpillwaySystem system)
    : controls_(controls), system_(std::move(system)) {}

// Each step is guarded on its own: a step that fails is passed over silently and the next one runs.
void frmSpillway::Form_Load() {
    std::u16string userName;
    try {
        userName = system_.UserName();
    } catch (...) {
        userName.clear();
    }

    try {
        objDOS_ = system_.CreateRunner([this](const std::u16string& message) {
            controls_.ShowMessage(message, SpillwayControls::MessageIcon::Stop);
        });
        if (objDOS_) {
            objDOS_->ReceiveOutputs = [this](const std::u16string& CommandOutputs) {
                objDOS_ReceiveOutputs(CommandOutputs);
            };
            objDOS_->AboutToWait = [this] { controls_.ShowOutputsNow(); };
        }
    } catch (...) {
        objDOS_.reset();
    }

    try {
        // Built completely before it is set, so a failure leaves the box empty rather than half-filled.
        const std::u16string banner = BuildBanner(system_.ApplicationFolder(), userName);
        controls_.SetOutputsText(banner);
        txtOutputs_Change();
    } catch (...) {
    }
}

void frmSpillway::cmdExecute_Click() {
    try {
        if (!objDOS_) {
            throw RunnerNotCreated();
        }
        objDOS_->CommandLine(controls_.CommandText());
        {
            // What the last reads brought goes on screen when the run ends, however it ends.
            struct ShowAtEnd {
                SpillwayControls& controls;
                ~ShowAtEnd() {
                    try {
                        controls.ShowOutputsNow();
                    } catch (...) {
                    }
                }
            } showAtEnd{controls_};
            objDOS_->ExecuteCommand();
        }
        controls_.SetCommandText(u"");
    } catch (...) {
        const SpillwayError error = SpillwayError::FromCurrentException();
        controls_.ShowMessage(error.MessageText(), SpillwayControls::MessageIcon::Exclamation);
    }
}

void frmSpillway::objDOS_ReceiveOutputs(const std::u16string& CommandOutputs) {
    if (CommandOutputs.empty()) {
        return; // the end of the output: nothing changes
    }
    controls_.AppendOutputsText(CommandOutputs);
    txtOutputs_Change();
}

void frmSpillway::txtOutputs_Change() {
    controls_.MoveOutputsCaretToEnd();
}

void frmSpillway::txtCommand_GotFocus() {
    controls_.SetCommandText(u"");
}

void frmSpillway::txtCommand_LostFocus() {
    controls_.SetCommandText(Placeholder);
}

void frmSpillway::cmdExit_Click() {
    objDOS_.reset();
    controls_.EndProgram();
}
