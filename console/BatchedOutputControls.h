// The output half of SpillwayControls, as both windows carry it out: a command's chunks go into the output
// box at once, and on screen in batches paced by OutputBatcher with the window's own settings. A window
// derives from this instead of SpillwayControls and supplies only what its box does.
#pragma once

#include "OutputBatcher.h"
#include "OutputPacing.h"
#include "SpillwayControls.h"

#include <string>

class BatchedOutputControls : public SpillwayControls {
public:
    void SetOutputsText(const std::u16string& text) override; // replaced, and on screen at once
    void AppendOutputsText(const std::u16string& text) override;
    void OutputsRunStarts() override;
    void MoveOutputsCaretToEnd() override;
    void ShowOutputsNow() override;

protected:
    explicit BatchedOutputControls(OutputPacing::BatchSettings settings);

    OutputBatcher& OutputsBatcher() { return batcher_; }

    // The box itself. Replace and Add change the text held without showing it; ShowOutputs puts what the box
    // holds on screen, with the caret at the end when asked.
    virtual void ReplaceOutputs(const std::u16string& text) = 0;
    virtual void AddOutputs(const std::u16string& text) = 0;
    virtual void StartOutputsRun() = 0; // a command's output follows: in the default colours
    virtual void ShowOutputs(bool caretToEnd) = 0;

private:
    OutputBatcher batcher_;
};
