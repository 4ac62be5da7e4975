#include "BatchedOutputControls.h"

BatchedOutputControls::BatchedOutputControls(OutputPacing::BatchSettings settings)
    : batcher_([this](bool caretToEnd) { ShowOutputs(caretToEnd); }, settings.costFactor,
               &OutputBatcher::Clock::now, settings.textsPerLook, settings.longestInterval) {}

void BatchedOutputControls::SetOutputsText(const std::u16string& text) {
    batcher_.Discard();
    ReplaceOutputs(text);
    batcher_.TextAdded();
    batcher_.ShowNow();
}

void BatchedOutputControls::AppendOutputsText(const std::u16string& text) {
    AddOutputs(text);
    batcher_.TextAdded();
}

void BatchedOutputControls::OutputsRunStarts() {
    StartOutputsRun();
}

void BatchedOutputControls::MoveOutputsCaretToEnd() {
    batcher_.CaretToEnd();
}

void BatchedOutputControls::ShowOutputsNow() {
    batcher_.ShowNow();
}
