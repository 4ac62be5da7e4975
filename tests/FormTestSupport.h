// Shared by the window's handler tests: fake controls that record what the handlers do to them, a fixed
// system, the banner written out, and a loaded window to press Enter in.
#pragma once

#include "frmSpillway.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

using Icon = SpillwayControls::MessageIcon;
using Message = std::pair<std::u16string, Icon>;
using Messages = std::vector<Message>;

// Controls as the handlers see them: the output box's text and caret, the command box, the messages shown.
class FakeControls : public SpillwayControls {
public:
    std::u16string outputs;
    std::size_t caret = 0;
    std::u16string command = frmSpillway::Placeholder; // the box's initial text
    Messages messages;
    std::vector<std::u16string> shown;    // the output box at each ShowOutputsNow
    std::function<void()> beforeAppend;   // lets a test make appending fail
    std::function<void()> events = [] {}; // the user's doing while the window handles its events
    int ended = 0;

    void SetOutputsText(const std::u16string& text) override { outputs = text; }
    void AppendOutputsText(const std::u16string& text) override {
        if (beforeAppend)
            beforeAppend();
        outputs += text;
    }
    void MoveOutputsCaretToEnd() override { caret = outputs.size(); }
    void ShowOutputsNow() override { shown.push_back(outputs); }
    std::u16string CommandText() const override { return command; }
    void SetCommandText(const std::u16string& text) override { command = text; }
    void ShowMessage(const std::u16string& text, Icon icon) override { messages.emplace_back(text, icon); }
    void EndProgram() override { ++ended; }
    void HandleWindowEvents() override { events(); }
};

inline SpillwaySystem FakeSystem(std::u16string folder = u"/opt/ombrel") {
    SpillwaySystem system;
    system.UserName = [] { return std::u16string(u"quarn"); };
    system.ApplicationFolder = [folder] { return folder; };
    return system;
}

// The banner's fixed form, written out rather than built the way the code builds it.
inline std::u16string Banner(const std::u16string& folder, const std::u16string& user) {
    return u"Quarn's Command Prompt\r\nDeveloper: Halvesk\r\nSystem Path: " + folder + u"\\Ombrel.exe\r\n" +
           u"\r\nC:\\Documents and Settings\\" + user + u"\r\nType Help for Command List\r\n\r\n\r\n";
}
const std::u16string OptBanner = Banner(u"/opt/ombrel", u"quarn");

// A loaded window and a way to press Enter with some text in the command box.
struct LoadedWindow {
    FakeControls controls;
    frmSpillway form;

    explicit LoadedWindow(SpillwaySystem system = FakeSystem()) : form(controls, std::move(system)) {
        form.Form_Load();
    }

    void Enter(const std::u16string& typed) {
        form.txtCommand_GotFocus();
        controls.command = typed;
        form.cmdExecute_Click();
    }
};
