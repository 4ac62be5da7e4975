#include "Spillways.h"

#include "ChildPipe.h"
#include "NarrowDecoder.h"
#include "OutputStore.h"
#include "Utf8.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <system_error>

using spillways_detail::ChildPipe;
using spillways_detail::FromUtf8;
using spillways_detail::NarrowDecoder;
using spillways_detail::ReadResult;

namespace {
// The most characters one chunk may hold; a read never asks for more bytes than that.
constexpr std::size_t ChunkSize = 256;

// How long an interrupted command has to end its output before it is killed.
constexpr auto InterruptGrace = std::chrono::seconds(3);

// Commands that only a shell has, no program on PATH: those of every POSIX shell, which sh runs, and those of
// bash alone (Debian's sh has none of them).
constexpr std::string_view ShellCommands[] = {".",      "alias",    "bg",    "cd",      "eval",  "exit",
                                              "export", "fc",       "fg",    "getopts", "hash",  "jobs",
                                              "read",   "readonly", "set",   "shift",   "times", "trap",
                                              "type",   "ulimit",   "umask", "unalias", "unset", "wait"};
constexpr std::string_view BashCommands[] = {
    "builtin", "caller",  "declare", "dirs",  "disown",    "enable", "help",   "history", "let",    "local",
    "logout",  "mapfile", "popd",    "pushd", "readarray", "shopt",  "source", "suspend", "typeset"};

std::u16string Decimal(std::size_t number) {
    const std::string digits = std::to_string(number);
    return {digits.begin(), digits.end()};
}

std::string AsciiLower(std::string_view word) {
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

// NAME=value, as a shell reads a first word that assigns a variable.
bool IsAssignment(std::string_view word) {
    const std::size_t equals = word.find('=');
    const auto nameCharacter = [](char c) {
        return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    };
    return equals != std::string_view::npos && equals > 0 && !(word[0] >= '0' && word[0] <= '9') &&
           std::all_of(word.begin(), word.begin() + static_cast<std::ptrdiff_t>(equals), nameCharacter);
}

// The line as one argument of `shell -c`, its blanks at either end dropped and the command's name as the
// shell spells it (the banner's "Help" is bash's "help").
std::u16string ThroughShell(std::u16string_view shell, std::u16string line, const std::string& name,
                            const std::string& spelled) {
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; };
    while (!line.empty() && blank(line.back()))
        line.pop_back();
    line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), blank));
    const std::u16string typed = FromUtf8(name);
    if (name != spelled && line.compare(0, typed.size(), typed) == 0)
        line.replace(0, typed.size(), FromUtf8(spelled));
    std::u16string quoted = std::u16string(shell) + u" -c '";
    for (const char16_t c : line)
        quoted += c == u'\'' ? std::u16string(u"'\\''") : std::u16string(1, c);
    return quoted + u"'";
}

// When the first word is a shell's command or assignment, what to do instead; empty otherwise.
std::u16string ShellCause(const std::string& program, const std::u16string& commandLine) {
    const std::string lower = AsciiLower(program);
    const auto among = [&lower](const auto& names) {
        return std::find(std::begin(names), std::end(names), lower) != std::end(names);
    };
    const std::u16string withoutShell =
        u", and Ombrel starts programs without a shell. Run the line through one: ";
    if (IsAssignment(program))
        return u"\"" + FromUtf8(program) + u"\" sets a variable of the shell" + withoutShell +
               ThroughShell(u"sh", commandLine, program, program);
    if (among(ShellCommands) || among(BashCommands)) {
        const std::u16string shell = among(ShellCommands) ? u"sh" : u"bash";
        return u"\"" + FromUtf8(lower) + u"\" is a command of " + shell + withoutShell +
               ThroughShell(shell, commandLine, program, lower);
    }
    return {};
}

} // namespace

const std::u16string Spillways::CommandLineEmptyMessage = u"Command Line empty";
const std::u16string Spillways::InvalidCommandMessage = u"Invalid Command pattern!";

std::u16string Spillways::CreatePipeFailedMessage(std::int32_t errorCode) {
    const std::string code = std::to_string(errorCode);
    return u"CreatePipe failed. Error: " + std::u16string(code.begin(), code.end());
}

std::u16string Spillways::StartFailureCause(const spillways_detail::StartFailure& failure,
                                            const std::u16string& commandLine) {
    using Reason = spillways_detail::StartFailure::Reason;
    const std::u16string program = u"\"" + FromUtf8(failure.program) + u"\"";
    if (failure.reason == Reason::NotFound || failure.reason == Reason::NotExecutable) {
        if (std::u16string shell = ShellCause(failure.program, commandLine); !shell.empty())
            return shell;
    }
    switch (failure.reason) {
    case Reason::NotFound:
        return failure.program.find('/') == std::string::npos
                   ? u"No program named " + program + u" was found on PATH."
                   : u"There is no program " + program + u".";
    case Reason::NotExecutable:
        return program + u" cannot be run: it is not a program, or it may not be executed.";
    case Reason::TooLong:
        return u"The command line is too long for the system.";
    case Reason::UnmatchedQuote:
        return u"The quote at column " + Decimal(failure.column) + u" is never closed.";
    case Reason::LoneBackslash:
        return u"The line ends in a backslash, which escapes nothing.";
    case Reason::NoProgram:
        return u"The line names no program: it holds only blanks.";
    case Reason::BadCharacter:
        return u"The line holds a character that no program can be given.";
    case Reason::System:
        return u"The system could not start it: " + FromUtf8(std::generic_category().message(failure.error)) +
               u".";
    case Reason::Unknown:
        break;
    }
    return {};
}

Spillways::Spillways(ShowStopMessage showStopMessage)
    : showStopMessage_(std::move(showStopMessage)),
      outputs_(std::make_unique<spillways_detail::OutputStore>()),
      reaper_(std::make_unique<spillways_detail::ChildReaper>()) {}

Spillways::~Spillways() = default;

void Spillways::CommandLine(const std::u16string& DOSCommand) {
    commandLine_ = DOSCommand;
}

std::u16string Spillways::CommandLine() const {
    return commandLine_;
}

std::u16string Spillways::Outputs() const {
    return outputs_->Text();
}

std::u16string Spillways::ExecuteCommand(const std::u16string& CommandLine) {
    return Run(CommandLine) ? outputs_->Text() : std::u16string();
}

bool Spillways::Run(const std::u16string& CommandLine) {
    if (!CommandLine.empty())
        commandLine_ = CommandLine;

    auto fail = [this](const std::u16string& message, const std::u16string& cause = {}) {
        if (showStopMessage_)
            showStopMessage_(message, cause);
        return false;
    };
    if (commandLine_.empty())
        return fail(CommandLineEmptyMessage);

    // Children of earlier runs that have exited since are collected now.
    reaper_->CollectExited();

    ChildPipe child(*reaper_);
    if (const std::int32_t error = child.Create(); error != 0)
        return fail(CreatePipeFailedMessage(error));
    if (spillways_detail::StartFailure failure; !child.Start(commandLine_, failure)) {
        child.Close();
        return fail(InvalidCommandMessage, StartFailureCause(failure, commandLine_));
    }
    // Until this end is closed the pipe could never report its end.
    child.CloseWriteEnd();
    outputs_->Clear();

    // Stop reaches the child through running_ while the loop below runs, and never after.
    struct Running {
        Spillways& runner;
        ~Running() { runner.running_ = nullptr; }
    } running{*this};
    running_ = &child;
    stopping_ = {};

    NarrowDecoder decoder;
    const bool keepBytes = decoder.DecodesUtf8();
    std::u16string chunk;
    chunk.reserve(ChunkSize);
    for (;;) {
        if (stopping_.killAt && !stopping_.killed && std::chrono::steady_clock::now() >= *stopping_.killAt) {
            child.Send(ChildPipe::Signal::Kill);
            stopping_.killed = true;
        }
        // Each read lands at the end of the runner's own copy of the output.
        char* const bytes = outputs_->Room(ChunkSize);
        const ReadResult read =
            stopping_.hungUp ? ReadResult{} : child.Read(bytes, decoder.ReadSize(ChunkSize), AboutToWait);
        // Once the kill is sent, whatever escaped it may still hold the pipe: what has already arrived is
        // read, and the run ends at the first wait.
        if (!read.ok || (read.woke && stopping_.killed)) {
            chunk.clear();
            // Bytes of a character the output never finished still reach the listener, as a replacement.
            if (decoder.Finish(chunk)) {
                if (keepBytes)
                    outputs_->KeepUtf8(0, chunk.size(), 0); // the carried bytes are kept already
                else
                    outputs_->Append(chunk);
                RaiseReceiveOutputs(chunk);
                chunk.clear();
            }
            RaiseReceiveOutputs(chunk);
            break;
        }
        if (read.woke)
            continue;
        // Plain ASCII, as most output is, and UTF-8 are kept where they were read: nothing to copy or encode
        // again. Text from another code page is kept encoded afresh (over the bytes read, decoded by then).
        // The chunk is overwritten, not cleared, so in a flood of full reads it keeps its size and is never
        // filled first.
        if (decoder.Decode(bytes, read.count, chunk))
            outputs_->KeepAscii(read.count);
        else if (keepBytes)
            outputs_->KeepUtf8(read.count, chunk.size(), decoder.Carried());
        else
            outputs_->Append(chunk);
        RaiseReceiveOutputs(chunk);
    }
    child.Close();
    return true;
}

void Spillways::Stop(StopKind kind) {
    if (running_ == nullptr)
        return;
    if (kind == StopKind::HangUp) {
        running_->Send(ChildPipe::Signal::HangUp);
        stopping_.hungUp = true;
        return;
    }
    running_->Send(ChildPipe::Signal::Interrupt);
    if (!stopping_.killAt)
        stopping_.killAt = std::chrono::steady_clock::now() + InterruptGrace;
}

void Spillways::RaiseReceiveOutputs(const std::u16string& chunk) {
    if (ReceiveOutputs)
        ReceiveOutputs(chunk);
}
