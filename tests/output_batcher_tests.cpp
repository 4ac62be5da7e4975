// When output is shown (at most once an interval, stretched by what showing cost) and how a batch goes into
// the box in pieces, against a clock of the test's own.
#include "OutputBatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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

    // Nine times what showing cost, shortened for the next showing to start within 250 ms of the last one's
    // start, but never below what showing cost.
    for (const auto& [cost, due] : {std::pair{10ms, 90ms}, {40ms, 210ms}, {200ms, 200ms}}) {
        int showings = 0;
        std::vector<int> after;
        OutputBatcher capped([&](bool) { ++showings, now += cost; }, 9, [&] { return now; }, 1, 250ms);
        for (const auto step : {0ms, due - 1ms, 1ms})
            now += step, capped.TextAdded(), after.push_back(showings);
        EXPECT_EQ(after, std::vector<int>({1, 1, 2})) << cost.count();
    }
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

// A batch goes into the box in pieces sized by what the last one cost, to take about PieceWithin: from
// MinPiece to MaxPiece characters, at most twice the last, and at least a ShownPerPiece-th of the text shown;
// LinePiece of them without a line break, never half a surrogate pair; the window answers between two pieces
// (not after the last) once AnswerWithin has passed since it last did.
TEST(OutputPieces, CutsABatchByItsCostAndAnswersBetweenPieces) {
    using namespace std::chrono_literals;
    const std::u16string lines(200000, u'\n'), line(100000, u'x');
    // text, characters in the box, what a character costs, the first piece's length, pieces, answers
    using Case = std::tuple<std::u16string, std::size_t, std::chrono::microseconds, std::size_t, std::size_t,
                            std::size_t>;
    for (const auto& [text, shown, cost, first, count, answers] :
         {Case{line, 0, 10us, 2048, 49, 16},
          {lines, 0, 1us, 4096, 7, 3},
          {lines, 0, 20us, 4096, 49, 48},
          {lines + u"\n", 256 * 100000, 20us, 100000, 2, 1},
          {u"ab\n" + line, 0, 0us, 2051, 49, 0},
          {lines + line, 0, 0us, 4096, 55, 0},
          {std::u16string(2047, u'y') + u"\U0001F600z", 0, 25us, 2047, 2, 1},
          {u"z", 0, 50000us, 1, 1, 0}}) {
        auto now = OutputPieces::Clock::time_point{} + 1h;
        OutputPieces pieces([&] { return now; });
        pieces.Answered();
        std::vector<std::u16string> put;
        std::size_t answered = 0;
        pieces.Put(
            text, shown,
            [&](std::u16string_view piece) { put.emplace_back(piece), now += cost * piece.size(); },
            [&] { ++answered; });
        EXPECT_EQ(std::tuple(put.front().size(), put.size(), answered), std::tuple(first, count, answers));
        EXPECT_EQ(std::accumulate(put.begin(), put.end(), std::u16string(), std::plus<>()), text);
    }
}
