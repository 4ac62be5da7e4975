// The runner on POSIX systems, with standard programs as children: no shell, the search path, UTF-8 output,
// what the child inherits, interrupted calls and collected children.
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
fs::path Folder() {
    return fs::temp_directory_path() / ("ombrel-test-" + std::to_string(::getpid()));
}

std::u16string File(const char* name, const char* content, fs::perms perms) {
    static const struct RemovedAtExit {
        ~RemovedAtExit() { fs::remove_all(Folder()); }
    } removedAtExit;
    fs::create_directories(Folder());
    std::ofstream(Folder() / name) << content;
    fs::permissions(Folder() / name, perms);
    return U((Folder() / name).string());
}
} // namespace

std::vector<std::u16string> LinesThatStartNothing() {
    return {
        U(fs::temp_directory_path().string()),               // a directory
        File("plain.txt", "hello\n", fs::perms::owner_read), // not executable
        File("script", "echo ran\n", fs::perms::owner_all),  // no #! line: no shell fallback
        u"printf 'unmatched",                                // splits into no words
        u"printf " + std::u16string(1, u'\0'),
        u"printf \xD800",                           // half a surrogate pair
        u"printf " + std::u16string(4 << 20, u'x'), // longer than the system takes
    };
}

long OpenHandleCount() {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

// A failed start says why beside its message: what the split, the system or the first word tells, and for a
// shell's own command or assignment how to run the line through one.
TEST(RunnerPosix, FailedStartsSayWhy) {
    const std::u16string plain = File("plain.txt", "hello\n", fs::perms::owner_read);
    const std::u16string noShell =
        u", and Ombrel starts programs without a shell. Run the line through one: ";
    const std::pair<std::u16string, std::u16string> cases[] = {
        // the line and its cause
        {u"ombrel-no-such-program arg", u"No program named \"ombrel-no-such-program\" was found on PATH."},
        {u"1=x env", u"No program named \"1=x\" was found on PATH."},
        {u"./ombrel-no-such-program", u"There is no program \"./ombrel-no-such-program\"."},
        {plain, u"\"" + plain + u"\" cannot be run: it is not a program, or it may not be executed."},
        {u"printf '\u00e9\"x' \"y", u"The quote at column 14 is never closed."},
        {u"printf a\\", u"The line ends in a backslash, which escapes nothing."},
        {u" \t", u"The line names no program: it holds only blanks."},
        {u"printf " + std::u16string(4 << 20, u'x'), u"The command line is too long for the system."},
        {u" cd /tmp ", u"\"cd\" is a command of sh" + noShell + u"sh -c 'cd /tmp'"},
        {u". 'my env'", u"\".\" is a command of sh" + noShell + u"sh -c '. '\\''my env'\\'''"},
        {u"Help", u"\"help\" is a command of bash" + noShell + u"bash -c 'help'"},
        {u"FOO=1 env", u"\"FOO=1\" sets a variable of the shell" + noShell + u"sh -c 'FOO=1 env'"},
    };
    RecordingRunner rec;
    for (const auto& [line, cause] : cases) {
        SCOPED_TRACE(std::string(line.begin(), line.begin() + std::min<std::size_t>(line.size(), 40)));
        rec.Run(line);
        EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Invalid Command pattern!"});
        EXPECT_EQ(rec.causes, std::vector<std::u16string>{cause});
    }
}

namespace {

// A child of this process has exited and not been collected (it is left to be collected).
bool ZombieChild() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

// Output is decoded as UTF-8 without a character ever split between chunks, and what the child inherits is
// clean: no input (whatever this process's is), no descriptor beyond the three, default signal handling
// with nothing blocked, a session of its own.
TEST(RunnerPosix, ProgramsRunWithoutAShellAndInheritNothing) {
    const auto Zeros = [](std::size_t count) { return std::u16string(count, u'0'); };
    const auto Times = [](std::u16string_view text, std::size_t count) {
        std::u16string all;
        for (std::size_t k = 0; k < count; ++k)
            all += text;
        return all;
    };
    const struct {
        std::u16string line;
        std::u16string output;
        std::vector<std::u16string> chunks{}; // empty: not checked
    } cases[] = {
        {uR"(printf '[%s]\n' $HOME '*' ~ "a  b" '' x\ y | ; # été߿ࠀ 😀)",
         u"[$HOME]\n[*]\n[~]\n[a  b]\n[]\n[x y]\n[|]\n[;]\n[#]\n[été߿ࠀ]\n[😀]\n"},
        {u"/bin/sh -c 'echo via the shell only when asked'", u"via the shell only when asked\n"},
        {uR"(printf 'a\000b\377\303')", std::u16string(u"a\0b\uFFFD\uFFFD", 5)},
        {uR"(printf 'ab\200')", u"ab\uFFFD"}, // the lowest byte past ASCII, alone in its chunk
        // The only byte past ASCII of a read at the end of its first sixteen, of its first step of
        // thirty-two, and just past the steps.
        {uR"(printf '%015d\200%0240d' 0 0)", Zeros(15) + u"\uFFFD" + Zeros(240)},
        {uR"(printf '%0287d\200' 0)", Zeros(287) + u"\uFFFD", {Zeros(256), Zeros(31) + u"\uFFFD", u""}},
        {uR"(printf '%0288d\377' 0)", Zeros(288) + u"\uFFFD"},
        // Read into the end of a block of the runner's copy, with too little room left to encode it there.
        {uR"(printf '%02096700d\303\251%0300d' 0 0)", Zeros(2096700) + u"é" + Zeros(300)},
        {uR"(printf '%04095d\342\202\254' 0)", Zeros(4095) + u"€"}, // across a piece of the copy's decoding
        // A character, or the start of one, that the read filling a block (2 MB, in reads of 256 bytes)
        // leaves unfinished goes whole into the next block, cut after each of its bytes; and at the end.
        {uR"(printf '%02097151d\342\202\254%0300d' 0 0)", Zeros(2097151) + u"€" + Zeros(300)},
        {uR"(printf '%02097150d\342\202\254' 0)", Zeros(2097150) + u"€"},
        {uR"(printf '%02097149d\360\237\230\200x' 0)", Zeros(2097149) + u"😀x"},
        {uR"(printf '%02097151d\360\237\230\200' 0)", Zeros(2097151) + u"😀"},
        {uR"(printf '%02097150d\342\202A\377' 0)", Zeros(2097150) + u"\uFFFDA\uFFFD"},
        {uR"(printf '%02097151d\342' 0)", Zeros(2097151) + u"\uFFFD"},
        {uR"(printf '%02097152d\342\202' 0)", Zeros(2097152) + u"\uFFFD"},
        // Every kind of ill-formed byte, among ASCII and whole characters, long enough for the quick paths.
        {uR"(printf 'x\342\202A\200\301\277\302A\340\237\240\355\240\355\237\277\360\217\360\220\200\200\364\220\200\200\365\377')"
         uR"('abcdefghijklmnopqrstu\302\251\200\360\237\230A\342\202\342\202\254\277\360\237\230\200\000\337')",
         std::u16string(
             u"x\uFFFDA\uFFFD\uFFFD\uFFFD\uFFFDA\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uD7FF\uFFFD\uFFFD\U00010000") +
             u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDabcdefghijklmnopqrstu©\uFFFD\uFFFDA\uFFFD€\uFFFD😀" +
             std::u16string(u"\0\uFFFD", 2)},
        {uR"(printf 'a\342\202')", u"a\uFFFD", {u"a", u"\uFFFD", u""}},
        // Once a byte that starts nothing has come first, sixteen bytes a step up to the next lead byte: a
        // step of sixteen without one, a lead at a step's start and at its end, the lowest and highest leads.
        {uR"(printf '\200\301\365\377abcdefghijkl\302\200\364\217\277\277mnopqrstuvwxyz0\340\240\200%020d' 0)",
         u"\uFFFD\uFFFD\uFFFD\uFFFDabcdefghijkl\u0080\U0010FFFFmnopqrstuvwxyz0\u0800" + Zeros(20)},
        {uR"(printf '\200%0253d\342\202\254' 0)",
         u"\uFFFD" + Zeros(253) + u"€"}, // carried after such a start
        // A read of hostile bytes to its end, the start of a character carried from its last byte or three,
        // then text: characters of each length, a byte that starts nothing, and a run of ASCII.
        {uR"(printf '\200\302\251)" + Times(uR"(\200a)", 125) + uR"(ab\360\237\230\200é€жé€жé€ж\377)" +
             u"0123456789abcdefghij€'",
         u"\uFFFD©" + Times(u"\uFFFDa", 125) + u"ab😀é€жé€жé€ж\uFFFD0123456789abcdefghij€",
         {u"\uFFFD©" + Times(u"\uFFFDa", 125) + u"ab", u"😀é€жé€жé€ж\uFFFD0123456789abcdefghij€", u""}},
        {u"printf '" + Times(uR"(\200a)", 126) + uR"(\200\360\237\230\200x€\377')",
         Times(u"\uFFFDa", 126) + u"\uFFFD😀x€\uFFFD",
         {Times(u"\uFFFDa", 126) + u"\uFFFD", u"😀x€\uFFFD", u""}},
        // The first read ends inside the character, which comes out whole with the next.
        {u"printf %0255d€ 0", std::u16string(255, u'0') + u"€", {std::u16string(255, u'0'), u"€", u""}},
        // After three bytes of a four-byte character are carried, the next read must not fill a whole chunk.
        {u"printf %0253d😀%0300d 0 0", std::u16string(253, u'0') + u"😀" + std::u16string(300, u'0')},
        {u"readlink /proc/self/fd/0", u"/dev/null\n"},
        {u"ls /proc/self/fd", u"0\n1\n2\n3\n"}, // 3 is ls's own look at the folder
        {u"awk '/^Sig(Blk|Ign)/ { print $1 substr($2, 10) }' /proc/self/status",
         u"SigBlk:0000000\nSigIgn:0000000\n"},
        {u"/bin/sh -c 'set -- $(cat /proc/$$/stat); test $1 = $6 && echo session leader'",
         u"session leader\n"},
    };
    // Input that never ends, a descriptor without close-on-exec, an ignored and a blocked signal.
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(input[0], STDIN_FILENO);
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    sigset_t term;
    sigset_t previousMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &term, &previousMask);

    RecordingRunner rec;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.begin() + std::min<std::size_t>(c.line.size(), 40)));
        EXPECT_EQ(rec.Run(c.line), c.output);
        rec.ExpectWellFormed(c.output);
        if (!c.chunks.empty()) {
            EXPECT_EQ(rec.chunks, c.chunks);
        }
    }

    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::dup2(savedInput, STDIN_FILENO);
    for (const int fd : {savedInput, input[0], input[1]})
        ::close(fd);
}

TEST(RunnerPosix, OutOfDescriptorsReportsThePipeError) {
    // In a child of the test, so the lowered limit touches nothing else.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::u16string message;
        Spillways runner([&](const std::u16string& text, const std::u16string&) { message = text; });
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NOFILE, &none);
        const bool empty = runner.ExecuteCommand(u"ombrel-anything").empty();
        ::_exit(empty && message == u"CreatePipe failed. Error: 24" ? 0 : 1);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
}

void CountInterruption(int) {}

TEST(RunnerPosix, InterruptedReadsAndWaitsLoseNothing) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = CountInterruption; // no SA_RESTART: every blocked call sees EINTR
    ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
    itimerval every{{0, 500}, {0, 500}};
    ::setitimer(ITIMER_REAL, &every, nullptr);

    RecordingRunner rec;
    rec.runner->AboutToWait = [] {}; // so that each pause starts with the short grace poll
    const std::u16string slow = rec.Run(u"/bin/sh -c 'echo 1; sleep 0.05; echo 2; sleep 0.05; echo 3'");
    const std::u16string fast = rec.Run(u"head -c 2000000 /dev/zero");

    itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(slow, u"1\n2\n3\n");
    EXPECT_EQ(fast, std::u16string(2000000, u'\0'));
}

// A run collects every child that has exited since the last, started or not; destroying the runner
// collects the last one.
TEST(RunnerPosix, ExitedChildrenAreCollected) {
    RecordingRunner rec;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(rec.Run(u"printf x"), u"x");
        if (i % 50 == 49) {
            for (int wait = 0; wait < 500 && ZombieChild(); ++wait, ::usleep(10000))
                rec.Run(u"ombrel-no-such-program");
            ASSERT_FALSE(ZombieChild());
        }
    }
    for (int wait = 0; wait < 100 && !ZombieChild(); ++wait)
        ::usleep(10000);
    rec.runner.reset();
    EXPECT_FALSE(ZombieChild());
}

// Stop ends a run as any run ends: from the listener in the middle of a flood (Ctrl+C during `yes`), or
// from AboutToWait during a silence. A hang-up ends the run at once; an interrupt the command ignores,
// however often it comes, is followed by the kill 3 s after the first, and the run ends then although a
// process in a session of its own still holds the output. Between runs Stop does nothing, and the next run is
// whole.
TEST(RunnerPosix, StopEndsTheRunFromEitherNotification) {
    RecordingRunner rec;
    rec.runner->Stop();
    rec.runner->ReceiveOutputs = [&](const std::u16string& chunk) {
        rec.chunks.push_back(chunk);
        if (rec.chunks.size() == 100)
            rec.runner->Stop();
        if (rec.chunks.size() > 100000)
            throw std::runtime_error("not stopped");
    };
    const std::u16string flood = rec.Run(u"yes");
    EXPECT_GE(rec.chunks.size(), 100u);
    rec.ExpectWellFormed(flood);

    using Kind = Spillways::StopKind;
    // How to stop, the command, and the bounds of the time from its start to the end of the run, in seconds.
    const std::tuple<Kind, const char16_t*, double, double> cases[] = {
        {Kind::HangUp, u"sh -c 'echo a; trap \"\" HUP; sleep 5; echo b'", 0, 1},
        {Kind::Interrupt, u"sh -c 'trap \"\" INT; setsid sleep 6 & echo a; sleep 6; echo b'", 3, 4.5},
    };
    for (const auto& [kind, line, least, most] : cases) {
        rec.runner->AboutToWait = [&] {
            if (!rec.chunks.empty())
                rec.runner->Stop(kind);
        };
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(rec.Run(line), u"a\n");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(took.count() >= least && took.count() < most) << took.count() << " s";
        rec.ExpectWellFormed(u"a\n");
    }
    rec.runner->AboutToWait = nullptr;
    EXPECT_EQ(rec.Run(ChildCommand("a s:100 b")), u"[a]\n[b]\n");
}

} // namespace
