// The window's handlers (load, Enter, Ctrl+C and closing) against fake controls, with the real runner and the
// test child.
#include "FormTestSupport.h"
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

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
