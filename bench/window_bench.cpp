// Drives the real window under an X server for bench/window_bench.sh.
// clang-format off
//   ombrel_window_bench first-paint START_NS
//       starts as the program does; prints the milliseconds from START_NS (CLOCK_REALTIME, in nanoseconds)
//       until the window's first paint is on screen
//   ombrel_window_bench run BYTES COMMAND...
//       runs the command line as Enter would; prints the seconds from Enter until the last line is painted,
//       the peak RSS beyond idle per output byte, the peak RSS in bytes, the paints of the output box, the
//       characters it holds beyond the banner, and then the seconds each of these takes, painted: scrolling
//       to the top, Select All, copying the first 1 MB, and Select All with Copy (-1 beyond 200 MB), and the
//       longest time in milliseconds without a paint of the output box between Enter and the last paint
//   ombrel_window_bench run-without-events BYTES COMMAND...
//       the same, with the window's event handling during the run switched off, to measure what it costs
//   ombrel_window_bench page BYTES COMMAND...
//       the same run, then from the top Page Down 100 times, each painted; prints the milliseconds a page
// With OMBREL_PERF_CONTROL=CONTROL-FIFO,ACK-FIFO set, perf started as `perf stat -D -1 --control
// fifo:CONTROL-FIFO,ACK-FIFO -- ombrel_window_bench run ...` (or perf record) counts the run alone: from Enter
// until the last line is painted.
// clang-format on
#include "OutputView.h"
#include "SpillwayWindow.h"
#include "TahomaFont.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

long long NowNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// A value in kB from /proc/self/status, in bytes.
long long StatusBytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field)))
                       .trimmed()
                       .split(' ')
                       .front()
                       .toLongLong() *
                   1024;
    }
    return -1;
}

// Sends perf a control command ("enable" or "disable") and waits for its answer, where OMBREL_PERF_CONTROL
// names its fifos.
void TellPerf(const char* command) {
    const char* fifos = std::getenv("OMBREL_PERF_CONTROL");
    const char* comma = fifos != nullptr ? std::strchr(fifos, ',') : nullptr;
    if (comma == nullptr)
        return;
    const std::string control(fifos, comma);
    if (FILE* to = std::fopen(control.c_str(), "w")) {
        std::fprintf(to, "%s\n", command);
        std::fclose(to);
    }
    if (FILE* from = std::fopen(comma + 1, "r")) {
        char answer[16];
        (void)std::fgets(answer, sizeof answer, from);
        std::fclose(from);
    }
}

void ResetPeakRss() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

class PaintCounter : public QObject {
public:
    int paints = 0;
    std::function<void()> onPaint;
    QElapsedTimer* clock = nullptr; // while set, the longest gap between paints is kept
    qint64 lastPaintNs = 0;
    qint64 longestGapNs = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (clock != nullptr) {
                const qint64 now = clock->nsecsElapsed();
                longestGapNs = std::max(longestGapNs, now - lastPaintNs);
                lastPaintNs = now;
            }
            if (onPaint)
                onPaint();
        }
        return false;
    }
};

// Returns once the first paint of the output box has been flushed to the screen.
void WaitForFirstPaint(QWidget* outputsViewport, PaintCounter& counter) {
    QEventLoop loop;
    counter.onPaint = [&loop] { QTimer::singleShot(0, &loop, &QEventLoop::quit); };
    outputsViewport->installEventFilter(&counter);
    loop.exec();
    counter.onPaint = nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: ombrel_window_bench first-paint START_NS | run[-without-events] BYTES COMMAND...\n");
        return 2;
    }
    const std::string mode = argv[1];
    const long long startNs = mode == "first-paint" ? std::stoll(argv[2]) : 0;

    const FontconfigPreload fonts; // as the program starts
    QApplication app(argc, argv);
    SpillwayWindow window;
    auto* outputs = window.findChild<OutputView*>(QStringLiteral("txtOutputs"));
    PaintCounter counter;
    window.show();
    WaitForFirstPaint(outputs->viewport(), counter);

    if (mode == "first-paint") {
        std::printf("%.1f\n", static_cast<double>(NowNanoseconds() - startNs) / 1e6);
        return 0;
    }

    const double bytes = std::stod(argv[2]);
    QString command;
    for (int i = 3; i < argc; ++i)
        command += (i > 3 ? QStringLiteral(" ") : QString()) + QString::fromLocal8Bit(argv[i]);
    const std::size_t bannerLength = outputs->CharacterCount();

    // Settle, then take the idle size: the window shown with its banner and its runner.
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();
    const long long idle = StatusBytes("VmRSS:");
    ResetPeakRss();
    counter.paints = 0;

    window.Form().HandleWindowEventsDuringRuns(mode != "run-without-events");
    window.SetCommandText(command.toStdU16String());
    QElapsedTimer enterToLastByte;
    enterToLastByte.start();
    counter.clock = &enterToLastByte;
    TellPerf("enable");
    window.Form().cmdExecute_Click(); // returns once the last chunk is painted
    TellPerf("disable");
    const double seconds = static_cast<double>(enterToLastByte.nsecsElapsed()) / 1e9;
    counter.clock = nullptr;
    const long long peak = StatusBytes("VmHWM:");

    if (mode == "page") {
        outputs->Select(0, 0);
        outputs->viewport()->repaint();
        QElapsedTimer paging;
        paging.start();
        for (int page = 0; page < 100; ++page) {
            QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QApplication::sendEvent(outputs, &pageDown);
            outputs->viewport()->repaint();
        }
        std::printf("%.2f\n", static_cast<double>(paging.nsecsElapsed()) / 1e6 / 100);
        return 0;
    }
    const auto timed = [outputs](auto action) {
        QElapsedTimer timer;
        timer.start();
        action();
        outputs->viewport()->repaint();
        return static_cast<double>(timer.nsecsElapsed()) / 1e9;
    };
    const std::size_t characters = outputs->CharacterCount() - bannerLength;
    const double top = timed([outputs] { outputs->verticalScrollBar()->setValue(0); });
    const double selectAll = timed([outputs] { outputs->SelectAll(); });
    const double copyMegabyte = timed([outputs] {
        outputs->Select(0, 1000000);
        outputs->Copy();
    });
    const double selectAllCopy = characters > 200000000 ? -1 : timed([outputs] {
        outputs->SelectAll();
        outputs->Copy();
    });
    std::printf("%.3f %.2f %lld %d %zu %.3f %.3f %.3f %.3f %.1f\n", seconds,
                static_cast<double>(peak - idle) / bytes, peak, counter.paints, characters, top, selectAll,
                copyMegabyte, selectAllCopy, static_cast<double>(counter.longestGapNs) / 1e6);
    return 0;
}
