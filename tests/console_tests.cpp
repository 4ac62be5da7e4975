// The window's handlers and banner, driven through fake controls with the real runner and the test child.
#include "ExecutableFolder.h"
#include "LineBreaks.h"
#include "RunnerTestSupport.h"
#include "frmSpillway.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

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
    int shownNow = 0;
    std::function<void()> beforeAppend; // lets a test make appending fail

    void SetOutputsText(const std::u16string& text) override { outputs = text; }
    void AppendOutputsText(const std::u16string& text) override {
        if (beforeAppend)
            beforeAppend();
        outputs += text;
    }
    void MoveOutputsCaretToEnd() override { caret = outputs.size(); }
    void ShowOutputsNow() override { ++shownNow; }
    std::u16string CommandText() const override { return command; }
    void SetCommandText(const std::u16string& text) override { command = text; }
    void ShowMessage(const std::u16string& text, Icon icon) override { messages.emplace_back(text, icon); }
    void EndProgram() override {}
    void HandleWindowEvents() override {}
};

SpillwaySystem FakeSystem(std::u16string folder = u"/opt/ombrel", std::u16string user = u"quarn") {
    SpillwaySystem system;
    system.UserName = [user] { return user; };
    system.ApplicationFolder = [folder] { return folder; };
    return system;
}

// The banner's fixed form, written out rather than built the way the code builds it.
std::u16string Banner(const std::u16string& folder, const std::u16string& user) {
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

TEST(Banner, FolderOfTheExecutableHasNoTrailingSlashExceptTheRoot) {
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/ombrel", "/usr/bin"},
        {"/ombrel", "/"},
        {"/opt//ombrel", "/opt"},
        {"/a b/c\xc3\xa9/ombrel", "/a b/c\xc3\xa9"},
    };
    for (const auto& [path, folder] : cases)
        EXPECT_EQ(FolderOfPath(path), folder) << path;
}

// The banner in full with the caret after it; a load step that fails is passed over silently and the steps
// after it still run. Without a runner every Enter warns and keeps the typed text.
TEST(FormLoad, ShowsTheBannerAndSkipsFailedStepsSilently) {
    SpillwaySystem runnerThrew = FakeSystem();
    runnerThrew.CreateRunner = [](Spillways::ShowStopMessage) -> std::unique_ptr<Spillways> {
        throw std::bad_alloc();
    };
    SpillwaySystem noRunner = FakeSystem();
    noRunner.CreateRunner = [](Spillways::ShowStopMessage) { return std::unique_ptr<Spillways>(); };
    SpillwaySystem noUser = FakeSystem(u"/"); // the root folder already ends in its separator
    noUser.UserName = []() -> std::u16string { throw std::runtime_error("no account"); };
    SpillwaySystem noBanner = FakeSystem();
    noBanner.ApplicationFolder = []() -> std::u16string { throw std::bad_alloc(); };

    const struct {
        const char* name;
        SpillwaySystem system;
        std::u16string banner;
        bool runner;
    } cases[] = {
        {"every step works", FakeSystem(), OptBanner, true},
        {"failed user name lookup", noUser, Banner(u"/", u""), true},
        {"failed banner", noBanner, u"", true},
        {"runner creation threw", runnerThrew, OptBanner, false},
        {"no runner created", noRunner, OptBanner, false},
    };
    const std::u16string typed = ChildCommand("args ok");
    const Message warning{u"Object variable or With block variable not set - Ombrel - 91", Icon::Exclamation};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedWindow window(c.system);
        EXPECT_EQ(window.controls.outputs, c.banner);
        EXPECT_EQ(window.controls.caret, c.banner.size());
        EXPECT_EQ(window.controls.command, frmSpillway::Placeholder);
        EXPECT_TRUE(window.controls.messages.empty());
        EXPECT_EQ(window.form.objDOS() != nullptr, c.runner);

        window.Enter(typed);
        window.Enter(typed);
        if (c.runner) {
            EXPECT_EQ(window.controls.outputs, c.banner + u"[ok]\n[ok]\n");
            EXPECT_EQ(window.controls.command, u"");
            EXPECT_TRUE(window.controls.messages.empty());
        } else {
            EXPECT_EQ(window.controls.outputs, c.banner);
            EXPECT_EQ(window.controls.command, typed);
            EXPECT_EQ(window.controls.messages, Messages(2, warning));
        }
    }
}

TEST(Execute, EveryRunTheRunnerHandledLeavesTheCommandBoxEmpty) {
    const Message invalid{u"Invalid Command pattern!", Icon::Stop};
    const struct {
        std::u16string typed;
        Messages messages;
        std::u16string output;
    } cases[] = {
        {ChildCommand("args one two"), {}, u"[one]\n[two]\n"},
        {u"", {{u"Command Line empty", Icon::Stop}}, u""},
        {u"   ", {invalid}, u""},
        {u"ombrel-no-such-program", {invalid}, u""},
        {ChildCommand("write 0"), {}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        LoadedWindow window;
        window.Enter(c.typed);
        EXPECT_EQ(window.controls.command, u"");
        EXPECT_EQ(window.controls.messages, c.messages);
        EXPECT_EQ(window.controls.outputs, OptBanner + c.output);
        EXPECT_EQ(window.controls.caret, window.controls.outputs.size());
        EXPECT_GE(window.controls.shownNow, 1) << "the end of a run is shown";
    }
}

// The placeholder is ordinary text: Enter with the focus elsewhere, or Tab onto the Execute button and
// activating it there, runs "(Enter Keyword Here)" as the command line.
TEST(Execute, PlaceholderRunsAsTheCommandLineWhenTheBoxHasNoFocus) {
    LoadedWindow window;
    window.form.cmdExecute_Click(); // Enter in the output box: the box never had the focus
    window.form.txtCommand_GotFocus();
    window.controls.command = u"typed but lost";
    window.form.txtCommand_LostFocus(); // Tab to Execute
    EXPECT_EQ(window.controls.command, frmSpillway::Placeholder);
    window.form.cmdExecute_Click();

    EXPECT_EQ(window.form.objDOS()->CommandLine(), frmSpillway::Placeholder);
    EXPECT_EQ(window.controls.messages, Messages(2, {u"Invalid Command pattern!", Icon::Stop}));
    EXPECT_EQ(window.controls.command, u"");
    EXPECT_EQ(window.controls.outputs, OptBanner);
}

TEST(Execute, OutputAccumulatesAndRunsTogetherAcrossCommands) {
    LoadedWindow window;
    window.Enter(ChildCommand("hex 6e6f2d627265616b")); // "no-break", no line break at the end
    window.Enter(ChildCommand("hex 6e657874"));         // "next"
    window.Enter(u"ombrel-no-such-program");            // a failed start adds nothing
    window.Enter(ChildCommand("write 130"));
    const std::u16string line = u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_\n";
    EXPECT_EQ(window.controls.outputs, OptBanner + u"no-breaknext" + line + line + u"01");
    EXPECT_EQ(window.controls.caret, window.controls.outputs.size());
}

// Any other failure while a command runs is a warning that names description, source and number; the typed
// command stays in the box, and the runner still works afterwards.
TEST(Execute, OtherFailuresShowAWarningAndKeepTheCommandBox) {
    const struct {
        std::function<void()> fail;
        std::u16string text;
    } cases[] = {
        {[] { throw std::bad_alloc(); }, u"Out of memory - Ombrel - 7"},
        {[] { throw std::length_error("basic_string::append"); }, u"Out of string space - Ombrel - 14"},
        {[] { throw std::system_error(std::make_error_code(std::errc::too_many_files_open), "pipe"); },
         u"pipe: Too many open files - Ombrel - 24"},
        {[] { throw std::runtime_error("caf\xc3\xa9 closed"); }, u"caf\u00e9 closed - Ombrel - 51"},
        {[] { throw 42; }, u"Internal error - Ombrel - 51"},
    };
    const std::u16string typed = ChildCommand("args x");
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        LoadedWindow window;
        window.controls.beforeAppend = c.fail;
        window.Enter(typed);
        EXPECT_EQ(window.controls.messages, (Messages{{c.text, Icon::Exclamation}}));
        EXPECT_EQ(window.controls.command, typed);
        EXPECT_EQ(window.controls.outputs, OptBanner) << "the failed chunk was not shown";
        EXPECT_GE(window.controls.shownNow, 1);

        window.controls.beforeAppend = nullptr;
        window.controls.messages.clear();
        window.form.cmdExecute_Click();
        EXPECT_EQ(window.controls.outputs, OptBanner + u"[x]\n");
        EXPECT_TRUE(window.controls.messages.empty());
    }
}

// Every kind of line break becomes one break of the display's kind, wherever the chunks are cut.
TEST(LineBreaks, EachBreakBecomesOneDisplayBreak) {
    const struct {
        std::vector<std::u16string> chunks;
        std::u16string forQt;
        std::u16string forEdit;
    } cases[] = {
        {{u"a\r\nb"}, u"a\nb", u"a\r\nb"},
        {{u"a\nb\rc"}, u"a\nb\nc", u"a\r\nb\r\nc"},
        {{u"a\r", u"\nb"}, u"a\nb", u"a\r\nb"},
        {{u"a\r", u"", u"\nb"}, u"a\nb", u"a\r\nb"},
        {{u"a\r", u"b"}, u"a\nb", u"a\r\nb"},
        {{u"\n\n"}, u"\n\n", u"\r\n\r\n"},
        {{u"\r\r\n"}, u"\n\n", u"\r\n\r\n"},
        {{u"\n\r"}, u"\n\n", u"\r\n\r\n"},
        {{u"\r\n\r\n"}, u"\n\n", u"\r\n\r\n"},
        {{u"tab\there", u"\u00e9"}, u"tab\there\u00e9", u"tab\there\u00e9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        LineBreakNormaliser qt(u"\n");
        LineBreakNormaliser edit(u"\r\n");
        std::u16string forQt;
        std::u16string forEdit;
        for (const auto& chunk : c.chunks) {
            forQt += qt.Normalise(chunk);
            forEdit += edit.Normalise(chunk);
        }
        EXPECT_EQ(forQt, c.forQt);
        EXPECT_EQ(forEdit, c.forEdit);
    }

    LineBreakNormaliser restarted(u"\n");
    EXPECT_EQ(restarted.Normalise(u"a\r"), u"a\n");
    restarted.Reset();
    EXPECT_EQ(restarted.Normalise(u"\nb"), u"\nb") << "a new text starts with no CR pending";
}

} // namespace

namespace {

// Up and Down walk the lines entered in this session, newest first, as a shell's history does: failed starts
// included, an unchanged repeat and empty lines left out, the line being typed kept below the newest.
TEST(History, UpAndDownRecallTheSessionsLines) {
    LoadedWindow window;
    for (const char16_t* line : {u"one", u"two", u"two", u"", u"three"})
        window.Enter(line);
    window.controls.command = u"draft"; // typed, not entered
    using Key = frmSpillway::CommandKey;
    const struct {
        Key key;
        bool recalled;
        std::u16string box;
    } steps[] = {
        {Key::Down, false, u"draft"}, {Key::Up, true, u"three"},   {Key::Up, true, u"two"},
        {Key::Up, true, u"one"},      {Key::Up, false, u"one"},    {Key::Down, true, u"two"},
        {Key::Down, true, u"three"},  {Key::Down, true, u"draft"}, {Key::Down, false, u"draft"},
        {Key::Up, true, u"three"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(&step - steps);
        EXPECT_EQ(window.form.txtCommand_KeyDown(step.key), step.recalled);
        EXPECT_EQ(window.controls.command, step.box);
    }
    window.controls.command = u"three more"; // the recalled line, edited
    window.form.cmdExecute_Click();
    EXPECT_EQ(window.form.objDOS()->CommandLine(), u"three more");
    for (const char16_t* recalled : {u"three more", u"three", u"", u"three more"}) {
        if (*recalled == u'\0') {
            window.form.txtCommand_GotFocus(); // browsing starts again
            continue;
        }
        EXPECT_TRUE(window.form.txtCommand_KeyDown(Key::Up));
        EXPECT_EQ(window.controls.command, recalled);
    }
}

} // namespace
