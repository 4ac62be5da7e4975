// The window's handlers and banner, driven through fake controls with the real runner and the test child.
#include "ExecutableFolder.h"
#include "LineBreaks.h"
#include "RunnerTestSupport.h"
#include "frmSpillway.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

using Icon = SpillwayControls::MessageIcon;

struct Message {
    std::u16string text;
    Icon icon;
    bool operator==(const Message&) const = default;
};

// Controls as the handlers see them: the output box's text and caret, the command box, the messages shown.
class FakeControls : public SpillwayControls {
public:
    std::u16string outputs;
    std::size_t caret = 0;
    std::u16string command = frmSpillway::Placeholder; // the box's initial text
    std::vector<Message> messages;
    int shownNow = 0;
    int programEnded = 0;
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
    void ShowMessage(const std::u16string& text, Icon icon) override { messages.push_back({text, icon}); }
    void EndProgram() override { ++programEnded; }
};

SpillwaySystem FakeSystem(std::u16string folder = u"/opt/ombrel", std::u16string user = u"quarn") {
    SpillwaySystem system;
    system.UserName = [user] { return user; };
    system.ApplicationFolder = [folder] { return folder; };
    system.CreateRunner = [](Spillways::ShowStopMessage show) {
        return std::make_unique<Spillways>(std::move(show));
    };
    return system;
}

const std::u16string OptBanner = u"Quarn's Command Prompt\r\n"
                                 u"Developer: Halvesk\r\n"
                                 u"System Path: /opt/ombrel\\Ombrel.exe\r\n"
                                 u"\r\n"
                                 u"C:\\Documents and Settings\\quarn\r\n"
                                 u"Type Help for Command List\r\n"
                                 u"\r\n"
                                 u"\r\n";

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

TEST(Banner, HasTheFixedFormWithFolderAndUserName) {
    EXPECT_EQ(BuildBanner(u"/opt/ombrel", u"quarn"), OptBanner);

    // The root folder already ends in its separator; the built path adds the backslash anyway.
    const std::u16string root = BuildBanner(u"/", u"quarn");
    EXPECT_NE(root.find(u"\r\nSystem Path: /\\Ombrel.exe\r\n"), std::u16string::npos) << "root folder";
}

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

TEST(FormLoad, ShowsTheBannerWithTheCaretAfterIt) {
    LoadedWindow window;
    EXPECT_EQ(window.controls.outputs, OptBanner);
    EXPECT_EQ(window.controls.caret, OptBanner.size());
    EXPECT_NE(window.form.objDOS(), nullptr);
    EXPECT_TRUE(window.controls.messages.empty());
    EXPECT_EQ(window.controls.command, frmSpillway::Placeholder);
}

TEST(FormLoad, FailedUserNameLookupLeavesThePrefixAlone) {
    SpillwaySystem system = FakeSystem(u"/", u"");
    system.UserName = []() -> std::u16string { throw std::runtime_error("no account"); };
    LoadedWindow window(std::move(system));
    EXPECT_EQ(window.controls.outputs, u"Quarn's Command Prompt\r\n"
                                       u"Developer: Halvesk\r\n"
                                       u"System Path: /\\Ombrel.exe\r\n"
                                       u"\r\n"
                                       u"C:\\Documents and Settings\\\r\n"
                                       u"Type Help for Command List\r\n\r\n\r\n");
    EXPECT_NE(window.form.objDOS(), nullptr) << "the later steps still run";
}

TEST(FormLoad, FailedBannerLeavesTheBoxEmptyAndTheRunnerWorking) {
    SpillwaySystem system = FakeSystem();
    system.ApplicationFolder = []() -> std::u16string { throw std::bad_alloc(); };
    LoadedWindow window(std::move(system));
    EXPECT_EQ(window.controls.outputs, u"");
    EXPECT_TRUE(window.controls.messages.empty()) << "load-step failures are silent";

    window.Enter(ChildCommand("args ok"));
    EXPECT_EQ(window.controls.outputs, u"[ok]\n");
}

// The runner could not be created: the window still opens, and every Enter warns and keeps the typed text.
TEST(FormLoad, RunnerThatFailedToBeCreatedMakesEachEnterWarn) {
    for (const bool throws : {true, false}) {
        SpillwaySystem system = FakeSystem();
        system.CreateRunner = [throws](Spillways::ShowStopMessage) -> std::unique_ptr<Spillways> {
            if (throws)
                throw std::bad_alloc();
            return nullptr;
        };
        LoadedWindow window(std::move(system));
        EXPECT_EQ(window.controls.outputs, OptBanner);
        EXPECT_TRUE(window.controls.messages.empty());

        for (int press = 0; press < 2; ++press) {
            window.Enter(u"ls");
            EXPECT_EQ(window.controls.command, u"ls");
        }
        const Message warning{u"Object variable or With block variable not set - Ombrel - 91",
                              Icon::Exclamation};
        EXPECT_EQ(window.controls.messages, (std::vector<Message>{warning, warning}));
    }
}

TEST(Execute, EveryRunTheRunnerHandledLeavesTheCommandBoxEmpty) {
    const struct {
        std::u16string typed;
        std::vector<Message> messages;
        std::u16string output;
    } cases[] = {
        {ChildCommand("args one two"), {}, u"[one]\n[two]\n"},
        {u"", {{u"Command Line empty", Icon::Stop}}, u""},
        {u"   ", {{u"Invalid Command pattern!", Icon::Stop}}, u""},
        {u"ombrel-no-such-program", {{u"Invalid Command pattern!", Icon::Stop}}, u""},
        {ChildCommand("write 0"), {}, u""},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const auto& c = cases[i];
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
    const Message invalid{u"Invalid Command pattern!", Icon::Stop};
    EXPECT_EQ(window.controls.messages, (std::vector<Message>{invalid, invalid}));
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
// command stays in the box.
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
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const auto& c = cases[i];
        LoadedWindow window;
        window.controls.beforeAppend = c.fail;
        const std::u16string typed = ChildCommand("args x");
        window.Enter(typed);
        EXPECT_EQ(window.controls.messages, (std::vector<Message>{{c.text, Icon::Exclamation}}));
        EXPECT_EQ(window.controls.command, typed);
        EXPECT_EQ(window.controls.outputs, OptBanner) << "the failed chunk was not shown";
        EXPECT_GE(window.controls.shownNow, 1);

        window.controls.beforeAppend = nullptr;
        window.controls.messages.clear();
        window.form.cmdExecute_Click();
        EXPECT_EQ(window.controls.outputs, OptBanner + u"[x]\n") << "the runner still works afterwards";
        EXPECT_TRUE(window.controls.messages.empty());
    }
}

TEST(Exit, ReleasesTheRunnerAndEndsTheProgram) {
    LoadedWindow window;
    window.form.cmdExit_Click();
    EXPECT_EQ(window.form.objDOS(), nullptr);
    EXPECT_EQ(window.controls.programEnded, 1);
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
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const auto& c = cases[i];
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
