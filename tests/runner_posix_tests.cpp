// The runner on POSIX systems: starting without a shell, decoding UTF-8, signals, descriptors and children.
#include "RunnerTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Children of this process that have exited and not been collected.
int ZombieChildren() {
    int zombies = 0;
    const std::string self = std::to_string(::getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line))
            continue;
        // pid (comm) state ppid ...: comm may hold blanks, so read after its closing parenthesis.
        const auto close = line.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && state == 'Z' &&
            std::to_string(parent) == self)
            ++zombies;
    }
    return zombies;
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("ombrel-test-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    fs::path File(const std::string& name, const std::string& content, fs::perms perms) const {
        const fs::path file = path / name;
        std::ofstream(file) << content;
        fs::permissions(file, perms);
        return file;
    }
};

std::u16string FromUtf8Path(const fs::path& path) {
    return U(path.string());
}

TEST(RunnerPosix, EveryFailureToStartIsInvalidCommandPattern) {
    TempDir dir;
    const auto exec = fs::perms::owner_all;
    const auto noExec = fs::perms::owner_read | fs::perms::owner_write;
    const std::u16string lines[] = {
        FromUtf8Path(dir.path),                                          // a directory
        FromUtf8Path(dir.File("plain.txt", "hello\n", noExec)),          // not executable
        FromUtf8Path(dir.File("script", "echo should-not-run\n", exec)), // no #! line: no shell fallback
        ChildCommand("args 'unmatched"),
        ChildCommand("args \"unmatched"),
        ChildCommand("args trailing\\"),
        ChildCommand("args ") + std::u16string(1, u'\0'),
        ChildCommand("args ") + u"\xD800",                     // half a surrogate pair
        ChildCommand("args ") + std::u16string(4 << 20, u'x'), // longer than the system takes
        u"''",
    };
    const int descriptors = OpenDescriptorCount();
    for (const auto& line : lines) {
        SCOPED_TRACE(std::string(line.begin(), line.begin() + std::min<std::size_t>(line.size(), 80)));
        RecordingRunner rec;
        EXPECT_EQ(rec.Run(line), u"");
        EXPECT_EQ(rec.messages, std::vector<std::u16string>{u"Invalid Command pattern!"});
        EXPECT_TRUE(rec.chunks.empty());
        EXPECT_EQ(OpenDescriptorCount(), descriptors) << "both pipe ends are closed after a failed start";
    }
}

TEST(RunnerPosix, ArgumentsReachTheProgramUninterpreted) {
    RecordingRunner rec;
    EXPECT_EQ(rec.Run(ChildCommand(R"(args $HOME '*' ~ "a  b" '' x\ y | ; #)")),
              u"[$HOME]\n[*]\n[~]\n[a  b]\n[]\n[x y]\n[|]\n[;]\n[#]\n");
    EXPECT_EQ(rec.Run(ChildCommand("args ") + u"été 😀"), u"[été]\n[😀]\n");
    // A long line the system accepts still runs whole.
    const std::string longWord(100000, 'w');
    EXPECT_EQ(rec.Run(ChildCommand("args " + longWord)), U("[" + longWord + "]\n"));
}

TEST(RunnerPosix, ProgramIsFoundOnThePathLikeExecvp) {
    RecordingRunner rec;
    EXPECT_EQ(rec.Run(u"printf %s found"), u"found");
    EXPECT_EQ(rec.Run(u"/bin/sh -c 'echo via the shell only when asked'"),
              u"via the shell only when asked\n");
}

TEST(RunnerPosix, OutOfDescriptorsReportsThePipeError) {
    // In a child of the test, so the lowered limit touches nothing else.
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(report[0]);
        std::u16string message;
        Spillways runner([&](const std::u16string& text) { message = text; });
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = 0;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        const std::u16string result = runner.ExecuteCommand(u"ombrel-anything");
        const std::string text(message.begin(), message.end());
        const std::string answer = text + (result.empty() ? "|empty" : "|not empty");
        (void)!::write(report[1], answer.data(), answer.size());
        ::_exit(0);
    }
    ::close(report[1]);
    char buffer[256] = {};
    const ssize_t got = ::read(report[0], buffer, sizeof buffer - 1);
    ::close(report[0]);
    ::waitpid(pid, nullptr, 0);
    ASSERT_GT(got, 0);
    EXPECT_STREQ(buffer, "CreatePipe failed. Error: 24|empty");
}

TEST(RunnerPosix, Utf8OutputIsDecodedWithoutSplittingCharacters) {
    const struct {
        const char* hexArguments;
        std::vector<std::u16string> chunks; // empty: only the whole output is checked
        std::u16string output;
    } cases[] = {
        {"610062000a", {std::u16string(u"a\0b\0\n", 5), u""}, std::u16string(u"a\0b\0\n", 5)},
        {"ff61c3",
         {},
         u"\uFFFD"
         "a\uFFFD"},
        // Unfinished bytes at the very end come out as a replacement of their own before the empty chunk.
        {"61e282", {u"a", u"\uFFFD", u""}, u"a\uFFFD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hexArguments);
        RecordingRunner rec;
        EXPECT_EQ(rec.Run(ChildCommand(std::string("hex ") + c.hexArguments)), c.output);
        EXPECT_WELL_FORMED_CHUNKS(rec, c.output);
        if (!c.chunks.empty()) {
            EXPECT_EQ(rec.chunks, c.chunks);
        }
    }

    // 255 ASCII bytes then a three-byte character, in one write: the first read ends inside the character.
    RecordingRunner rec;
    std::string hex;
    for (int i = 0; i < 255; ++i)
        hex += "61";
    hex += "e282ac";
    std::u16string expected = std::u16string(255, u'a') + u"€";
    EXPECT_EQ(rec.Run(ChildCommand("hex " + hex)), expected);
    EXPECT_WELL_FORMED_CHUNKS(rec, expected);
    EXPECT_EQ(rec.chunks.front(), std::u16string(255, u'a'));

    // Four-byte characters across many reads: chunks stay within 256 characters however the bytes fall.
    std::string emoji;
    for (int i = 0; i < 300; ++i)
        emoji += "61f09f9880";
    expected.clear();
    for (int i = 0; i < 300; ++i)
        expected += u"a😀";
    EXPECT_EQ(rec.Run(ChildCommand("hex " + emoji)), expected);
    EXPECT_WELL_FORMED_CHUNKS(rec, expected);
}

TEST(RunnerPosix, ChildStartsWithCleanDescriptorsAndSignals) {
    RecordingRunner rec;
    // A descriptor of ours without close-on-exec must not leak into the child either.
    const int leaky = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(leaky, 0);
    EXPECT_EQ(rec.Run(ChildCommand("fds")), u"0 1 2");
    ::close(leaky);

    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous), 0);
    sigset_t term;
    sigset_t previousMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    ASSERT_EQ(::sigprocmask(SIG_BLOCK, &term, &previousMask), 0);

    EXPECT_EQ(rec.Run(ChildCommand("signals")), u"SIGPIPE default SIGTERM unblocked");

    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);
}

std::atomic<int> interruptions{0};
void CountInterruption(int) {
    interruptions.fetch_add(1, std::memory_order_relaxed);
}

TEST(RunnerPosix, InterruptedReadsAndWaitsLoseNothing) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = CountInterruption;
    action.sa_flags = 0; // no SA_RESTART: every blocked call sees EINTR
    ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
    itimerval every{{0, 500}, {0, 500}};
    ASSERT_EQ(::setitimer(ITIMER_REAL, &every, nullptr), 0);

    RecordingRunner rec;
    std::u16string expected;
    for (int i = 0; i < 40; ++i)
        expected += U("line " + std::to_string(i) + "\n");
    const std::u16string slow = rec.Run(ChildCommand("slow 40 5"));
    const std::u16string fast = rec.Run(ChildCommand("write 2000000"));

    itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    ::sigaction(SIGALRM, &previous, nullptr);

    EXPECT_EQ(slow, expected);
    EXPECT_EQ(fast.size(), 2000000u);
    EXPECT_GT(interruptions.load(), 10);
}

TEST(RunnerPosix, ThousandsOfRunsLeaveNoDescriptorsOrZombiesBehind) {
    RecordingRunner rec;
    rec.Run(ChildCommand("args warm-up"));
    const int descriptors = OpenDescriptorCount();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(rec.Run(ChildCommand("args " + std::to_string(i))), U("[" + std::to_string(i) + "]\n"));
        if (i % 50 == 0) {
            ASSERT_LE(ZombieChildren(), 1) << "at most the last child may not have been collected yet";
            rec.Run(u"ombrel-no-such-program"); // failed starts too
        }
    }
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    // Once the last child has exited, destroying the runner collects it.
    for (int i = 0; i < 400 && ZombieChildren() == 0; ++i)
        ::usleep(5000);
    rec.runner.reset();
    EXPECT_EQ(ZombieChildren(), 0);
}

// Stop ends a run as any run ends: from the listener in the middle of a flood (Ctrl+C during `yes`), or
// from AboutToWait during a silence (a hang-up ends the run at once). Between runs it does nothing.
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
    EXPECT_WELL_FORMED_CHUNKS(rec, flood);

    rec.runner->AboutToWait = [&] {
        if (!rec.chunks.empty())
            rec.runner->Stop(Spillways::StopKind::HangUp);
    };
    EXPECT_EQ(rec.Run(u"sh -c 'echo a; trap \"\" HUP; sleep 5; echo b'"), u"a\n");
    EXPECT_WELL_FORMED_CHUNKS(rec, u"a\n");
}

} // namespace
