#include "Spillways.h"

#include "ChildPipe.h"
#include "OutputStore.h"

#include <string>

using spillways_detail::ChildPipe;
using spillways_detail::NarrowDecoder;
using spillways_detail::ReadResult;

namespace {
// The most characters one chunk may hold; a read never asks for more bytes than that.
constexpr std::size_t ChunkSize = 256;

// How long an interrupted command has to end its output before it is killed.
constexpr auto InterruptGrace = std::chrono::seconds(3);
} // namespace

const std::u16string Spillways::CommandLineEmptyMessage = u"Command Line empty";
const std::u16string Spillways::InvalidCommandMessage = u"Invalid Command pattern!";

std::u16string Spillways::CreatePipeFailedMessage(std::int32_t errorCode) {
    const std::string code = std::to_string(errorCode);
    return u"CreatePipe failed. Error: " + std::u16string(code.begin(), code.end());
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

    auto fail = [this](const std::u16string& message) {
        if (showStopMessage_)
            showStopMessage_(message);
        return false;
    };
    if (commandLine_.empty())
        return fail(CommandLineEmptyMessage);

    // Children of earlier runs that have exited since are collected now.
    reaper_->CollectExited();

    ChildPipe child(*reaper_);
    if (const std::int32_t error = child.Create(); error != 0)
        return fail(CreatePipeFailedMessage(error));
    if (!child.Start(commandLine_)) {
        child.Close();
        return fail(InvalidCommandMessage);
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
    char buffer[ChunkSize];
    std::u16string chunk;
    chunk.reserve(ChunkSize);
    for (;;) {
        if (stopping_.killAt && !stopping_.killed && std::chrono::steady_clock::now() >= *stopping_.killAt) {
            child.Send(ChildPipe::Signal::Kill);
            stopping_.killed = true;
        }
        const ReadResult read =
            stopping_.hungUp ? ReadResult{} : child.Read(buffer, decoder.ReadSize(ChunkSize), AboutToWait);
        chunk.clear();
        // Once the kill is sent, whatever escaped it may still hold the pipe: what has already arrived is
        // read, and the run ends at the first wait.
        if (!read.ok || (read.woke && stopping_.killed)) {
            // Bytes of a character the output never finished still reach the listener, as a replacement.
            if (decoder.Finish(chunk)) {
                outputs_->Append(chunk);
                RaiseReceiveOutputs(chunk);
                chunk.clear();
            }
            RaiseReceiveOutputs(chunk);
            break;
        }
        if (read.woke)
            continue;
        // Plain ASCII, as most output is, is kept as the bytes read: nothing to encode again.
        if (decoder.Decode(buffer, read.count, chunk))
            outputs_->AppendAscii(std::string_view(buffer, read.count));
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
