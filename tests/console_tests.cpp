// The window's handlers and banner, driven through fake controls with the real runner and the test child.
#include "ConsoleOutput.h"
#include "ExecutableFolder.h"
#include "OutputBatcher.h"
#include "OutputText.h"
#include "RunnerTestSupport.h"
#include "frmSpillway.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>
#include <numeric>
#include <stdexcept>
#include <string>
#include <system_error>
#include <tuple>
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

SpillwaySystem FakeSystem(std::u16string folder = u"/opt/ombrel") {
    SpillwaySystem system;
    system.UserName = [] { return std::u16string(u"quarn"); };
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
    EXPECT_EQ(FolderOfPath("/usr/bin/ombrel"), "/usr/bin");
    EXPECT_EQ(FolderOfPath("/opt//ombrel"), "/opt");
    EXPECT_EQ(FolderOfPath("/ombrel"), "/");
}

// The banner in full with the caret after it; a load step that fails is passed over silently and the steps
// after it still run. Without a runner Enter warns and keeps the typed text.
TEST(FormLoad, ShowsTheBannerAndSkipsFailedStepsSilently) {
    SpillwaySystem runnerThrew = FakeSystem();
    runnerThrew.CreateRunner = [](Spillways::ShowStopMessage) -> std::unique_ptr<Spillways> {
        throw std::bad_alloc();
    };
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
        {"failed user name lookup", noUser, Banner(u"/", u""), true},
        {"failed banner", noBanner, u"", true},
        {"runner creation threw", runnerThrew, OptBanner, false},
    };
    const std::u16string typed = ChildCommand("ok");
    const Message warning{u"Object variable or With block variable not set - Ombrel - 91", Icon::Exclamation};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedWindow window(c.system);
        EXPECT_EQ(window.controls.outputs, c.banner);
        EXPECT_EQ(window.controls.caret, c.banner.size());
        window.Enter(typed);
        EXPECT_EQ(window.controls.outputs, c.banner + (c.runner ? u"[ok]\n" : u""));
        EXPECT_EQ(window.controls.command, c.runner ? u"" : typed);
        EXPECT_EQ(window.controls.messages, c.runner ? Messages{} : Messages{warning});
    }
}

// Output accumulates and runs on from one command to the next; every run the runner handled, started or
// not, leaves the command box empty, and its end is shown. Any other failure while a command runs is a
// warning that names description, source and number, and the typed command stays in the box.
TEST(Execute, RunsShowTheirOutputAndFailuresTheirMessage) {
    const auto stop = [](const char16_t* text) { return Messages{{text, Icon::Stop}}; };
    const auto warning = [](const char16_t* text) { return Messages{{text, Icon::Exclamation}}; };
    const struct {
        std::u16string typed;
        Messages messages;
        std::u16string output;
        std::function<void()> fail; // while the output is appended
    } cases[] = {
        {ChildCommand("o:6e6f2d627265616b"), {}, u"no-break", {}},
        {ChildCommand("o:6e657874 one two"), {}, u"next[one]\n[two]\n", {}},
        {u"", stop(u"Command Line empty"), u"", {}},
        {u"ombrel-no-such-program", stop(u"Invalid Command pattern!"), u"", {}},
        {ChildCommand("x"), warning(u"Out of memory - Ombrel - 7"), u"", [] { throw std::bad_alloc(); }},
        {ChildCommand("x"), warning(u"Out of string space - Ombrel - 14"), u"",
         [] { throw std::length_error("basic_string::append"); }},
        {ChildCommand("x"), warning(u"pipe: Too many open files - Ombrel - 24"), u"",
         [] { throw std::system_error(std::make_error_code(std::errc::too_many_files_open), "pipe"); }},
        {ChildCommand("x"), warning(u"Internal error - Ombrel - 51"), u"", [] { throw 42; }},
    };
    LoadedWindow window;
    std::u16string outputs = OptBanner;
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        window.controls.messages.clear();
        window.controls.shown.clear();
        window.controls.beforeAppend = c.fail;
        window.Enter(c.typed);
        outputs += c.output;
        EXPECT_EQ(window.controls.command, c.fail ? c.typed : u"");
        EXPECT_EQ(window.controls.messages, c.messages);
        EXPECT_EQ(window.controls.outputs, outputs);
        EXPECT_EQ(window.controls.caret, outputs.size());
        EXPECT_TRUE(!window.controls.shown.empty() && window.controls.shown.back() == outputs);
    }
}

// The window handles its events during a run, in a pause (what came before it shown) and in a flood: Ctrl+C
// stops the command; a close is refused, hangs the command up (its trap would show an interrupt) and ends
// the program once the run is over, which ends by handling its last events. Outside a run a close is allowed.
TEST(Execute, CtrlCAndClosingDuringARun) {
#ifdef _WIN32
    GTEST_SKIP() << "sh and yes are POSIX programs; the Win32 window's walk stops and closes runs there";
#endif
    const std::pair<std::u16string, bool> cases[] = {
        {u"yes", false},
        {u"sh -c 'trap \"echo int\" INT; trap \"\" HUP; echo a; sleep 0.1; echo b; sleep 5 & wait; echo c'",
         true},
    };
    for (const auto& [typed, close] : cases) {
        LoadedWindow window;
        int appended = 0;
        window.controls.beforeAppend = [&] {
            if (++appended > 100000)
                throw std::runtime_error("not stopped");
        };
        bool waiting = false; // Ctrl+C is pressed in the flood itself, not in a pause of it
        window.form.objDOS()->AboutToWait = [&, wait = window.form.objDOS()->AboutToWait] {
            waiting = true;
            wait();
            waiting = false;
        };
        window.controls.events = [&] {
            window.controls.shown.emplace_back(); // marks where the events were handled
            EXPECT_TRUE(!waiting || window.controls.shown.end()[-2] == window.controls.outputs)
                << "shown first";
            if (window.controls.outputs.size() == OptBanner.size() ||
                (close && !window.controls.outputs.ends_with(u"b\n")))
                return; // closed after a pause: events are handled when due, however long it took
            EXPECT_TRUE(!close || !window.form.Form_QueryUnload()) << "a close is refused";
            if (!close && !waiting)
                window.form.StopCommand();
        };
        window.Enter(typed);
        EXPECT_EQ(window.controls.messages, Messages{});
        EXPECT_EQ(window.controls.ended, close ? 1 : 0);
        EXPECT_TRUE(!close || window.controls.outputs.ends_with(u"a\nb\n"))
            << "hung up at once, not interrupted";
        EXPECT_TRUE(window.controls.shown.back().empty()) << "events handled last";
        EXPECT_TRUE(window.form.Form_QueryUnload());
    }
}

// The output as a console shows it, wherever the chunks are cut, and the line index over it, also past a
// group of lines.
TEST(OutputText, CarriageReturnsLinesAndRowEstimates) {
    std::u16string lines;
    for (int i = 0; i < 4095; ++i)
        lines += u"abc\n";
    const struct {
        std::vector<std::u16string> chunks;
        std::u16string shown;
    } cases[] = {
        {{u"a\r\nb\n"}, u"a\nb\n"},
        {{u"a\r", u"", u"\nb"}, u"a\nb"},
        {{u"\r\r\n\n\r"}, u"\n\n"},
        {{u"10%\r20%\r", u"100%\n"}, u"100%\n"},
        {{u"abcdef\rXY", u"Z\ndone"}, u"XYZdef\ndone"}, // the rest of the line stays, and so does the break
        {{u"ab\r", u"wxyz"}, u"wxyz"},
        {{u"x\n\rab\rc"}, u"x\ncb"},
        {{u"tab\there", u"\u00e9\u20ac\r\u00e8"}, u"\u00e8ab\there\u00e9\u20ac"},
        {{u"abc\ndefghijk\n"}, u"abc\ndefghijk\n"}, // line breaks in each half of eight characters
        {{u"abcdefg\nhijk\u0100lmnop"}, u"abcdefg\nhijk\u0100lmnop"},
        // Sixteen at a time: line breaks at both ends of sixteen, and the widening character last of sixteen.
        {{u"\nabcdefghijklmn\n\nopqrstuvwxyzABC\u0100\nD"}, u"\nabcdefghijklmn\n\nopqrstuvwxyzABC\u0100\nD"},
        {{lines}, lines},                            // a group of lines filled exactly
        {{lines, u"abc\nend"}, lines + u"abc\nend"}, // two groups
    };
    OutputText text;
    ConsoleOutput returns(text);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        text.Clear();
        returns.Reset();
        text.SetCharactersPerRow(3); // counted as lines end, then counted again at another width
        // Text without returns goes straight in, line breaks and all.
        const bool returnsIn = std::any_of(c.chunks.begin(), c.chunks.end(), [](const std::u16string& chunk) {
            return chunk.find(u'\r') != std::u16string::npos;
        });
        for (const auto& chunk : c.chunks) {
            if (returnsIn)
                returns.Feed(chunk);
            else
                text.Append(chunk);
        }
        ASSERT_EQ(text.Text(text.Size(), 0), c.shown);
        ASSERT_EQ(text.LineCount(), std::count(c.shown.begin(), c.shown.end(), u'\n') + 1);
        // Each line's place and estimated rows: the fuzz target output_text_fuzz; here across 4096 lines.
        text.SetCharactersPerRow(1);
        const std::size_t last = text.LineCount() - 1;
        ASSERT_EQ(text.LineAtEstimatedRow(text.EstimatedTotalRows() - 1), last);
        ASSERT_EQ(text.LineAt(text.Size()), std::pair(text.LineStart(last), text.Size()));
    }
}

// What a double click takes: a word, a run of blanks or of other signs, within its line; at a line's end the
// last character's.
TEST(OutputText, WordAtAPosition) {
    OutputText text;
    text.Append(u"\u00e9t\u00e9  x+=1\n\nab\na\u00a0\u3000b"); // no-break and ideographic spaces part words
    const std::pair<std::size_t, std::u16string> cases[] = {
        {0, u"\u00e9t\u00e9"},
        {2, u"\u00e9t\u00e9"},
        {3, u"  "},
        {6, u"+="},
        {9, u"1"},
        {10, u""},
        {13, u"ab"},
        {14, u"a"},
        {15, u"\u00a0\u3000"},
    };
    for (const auto& [at, word] : cases) {
        const auto [from, to] = text.WordAt(at);
        EXPECT_EQ(text.Text(from, to), word) << at;
    }
}

// Line starts more than an offset holds past their group's first (4 Gi characters in the box), with one-byte
// offsets: a group that spills, then one that stays narrow with a position far past its last start.
TEST(OutputText, LineStartsPastWhatAnOffsetHolds) {
    std::vector<std::size_t> added;
    for (std::size_t line = 0; line < LineStarts<std::uint8_t>::GroupLines; ++line)
        added.push_back(line * 3);
    added.insert(added.end(), {20000, 20100});
    LineStarts<std::uint8_t> starts;
    for (const std::size_t start : added)
        starts.Add(start);
    for (std::size_t line = 0; line < added.size(); ++line) {
        ASSERT_EQ(starts.Start(line), added[line]);
        ASSERT_EQ(std::pair(starts.LineOf(added[line]), starts.LineOf(added[line] + 2)),
                  std::pair(line, line));
    }
    EXPECT_EQ(starts.LineOf(20300), added.size() - 1);
}

// A flood is shown once an interval, stretched by what showing cost; an explicit showing always shows.
TEST(OutputBatcher, ShowsAtMostOnceAnIntervalAndAlwaysWhenAsked) {
    using namespace std::chrono_literals;
    auto now = OutputBatcher::Clock::time_point{} + 1h;
    std::vector<int> shown; // caret flag per showing
    OutputBatcher batcher([&](bool caret) { shown.push_back(caret); }, 4, [&] { return now; });
    batcher.TextAdded(); // the first is shown at once
    now += 10ms;
    batcher.TextAdded();
    batcher.CaretToEnd();
    EXPECT_EQ(shown, std::vector<int>({0}));
    now += 6ms;
    batcher.TextAdded();
    EXPECT_EQ(shown, std::vector<int>({0, 1}));
    batcher.ShowNow();    // nothing waits
    batcher.CaretToEnd(); // the text is shown: the caret moves at once
    batcher.TextAdded();
    batcher.ShowNow();
    EXPECT_EQ(shown, std::vector<int>({0, 1, 1, 0}));

    // Looking at the clock every third text only, a batch that falls due waits for the third.
    std::vector<int> looked;
    OutputBatcher sparing([&](bool caret) { looked.push_back(caret); }, 4, [&] { return now; }, 3);
    for (int i = 1; i <= 7; ++i, now += 20ms)
        sparing.TextAdded();
    EXPECT_EQ(looked, std::vector<int>({0, 0})) << "at the third and the sixth";
}

// A flood whose showing costs in proportion to the text shown so far, as an EDIT's append does (the caret
// alone costs nothing): the runner
// reads 256 characters each 0.1 ms and finds the pipe empty for a moment every `emptyEvery` chunks. Eight
// times the output costs about eight times the showing, not sixty-four, and a pause shows all of it.
TEST(OutputBatcher, ShowingAFloodCostsInProportionToItsSize) {
    using namespace std::chrono_literals;
    const auto showing = [](std::size_t chunks, std::size_t emptyEvery, int costFactor) {
        auto now = OutputBatcher::Clock::time_point{} + 1h;
        std::size_t held = 0;
        std::size_t shown = 0;
        OutputBatcher batcher(
            [&](bool) { now += shown == held ? 0ns : 1ms + std::chrono::nanoseconds((shown = held) * 100); },
            costFactor, [&] { return now; });
        for (std::size_t i = 1; i <= chunks; ++i, now += 100us) {
            held += 256;
            batcher.TextAdded();
            batcher.CaretToEnd(); // as the handlers follow each chunk
            if (i % emptyEvery == 0)
                batcher.RunnerWaiting();
        }
        batcher.RunnerWaiting();
        batcher.RunnerWaiting(); // still nothing: a real pause
        EXPECT_EQ(shown, held);
        return now - chunks * 100us; // the showing's share
    };
    for (const auto& [emptyEvery, costFactor] : {std::pair{1, 2}, {16, 2}, {1000000, 2}, {4, 4}}) {
        SCOPED_TRACE(emptyEvery);
        const auto start = OutputBatcher::Clock::time_point{} + 1h;
        EXPECT_LT(showing(160000, emptyEvery, costFactor) - start,
                  10 * (showing(20000, emptyEvery, costFactor) - start));
    }
}

// A batch goes into the box in pieces: at most MaxPiece characters, LinePiece of them without a line break,
// never half a surrogate pair; the window answers between two pieces (not after the last) once AnswerWithin
// has passed since it last did.
TEST(OutputPieces, CutsABatchAndAnswersBetweenPieces) {
    using namespace std::chrono_literals;
    const std::u16string lines(200000, u'\n'), line(100000, u'x');
    // text, characters in the box, the first piece's length, pieces, what each costs, answers
    using Case = std::tuple<std::u16string, std::size_t, std::size_t, std::size_t, std::chrono::milliseconds,
                            std::size_t>;
    for (const auto& [text, shown, first, count, cost, answers] :
         {Case{line, 0, 1024, 98, 25ms, 48},
          {lines, 0, 65536, 4, 25ms, 1},
          {lines, 1000000, 125000, 2, 25ms, 0},
          {u"ab\n" + line, 0, 1027, 98, 50ms, 97},
          {lines + line, 8 * 65536, 65536, 100, 0ms, 0},
          {std::u16string(1023, u'y') + u"\U0001F600z", 0, 1023, 2, 50ms, 1},
          {u"z", 0, 1, 1, 50ms, 0}}) {
        auto now = OutputPieces::Clock::time_point{} + 1h;
        OutputPieces pieces([&] { return now; });
        pieces.Answered();
        std::vector<std::u16string> put;
        std::size_t answered = 0;
        pieces.Put(
            text, shown, [&](std::u16string_view piece) { put.emplace_back(piece), now += cost; },
            [&] { ++answered; });
        EXPECT_EQ(std::tuple(put.front().size(), put.size(), answered), std::tuple(first, count, answers));
        EXPECT_EQ(std::accumulate(put.begin(), put.end(), std::u16string(), std::plus<>()), text);
    }
}

// Up and Down walk the lines entered in this session, newest first, as a shell's history does: failed starts
// included, an unchanged repeat and empty lines left out, the line being typed kept below the newest.
TEST(History, UpAndDownRecallTheSessionsLines) {
    LoadedWindow window;
    window.form.cmdExecute_Click(); // the placeholder: entered, never recalled
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
    window.form.txtCommand_KeyDown(Key::Up);
    window.form.txtCommand_GotFocus(); // browsing starts again
    EXPECT_TRUE(window.form.txtCommand_KeyDown(Key::Up));
    EXPECT_EQ(window.controls.command, u"three more");
}

} // namespace
