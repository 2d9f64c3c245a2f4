#pragma once

// Reports, on standard output, the monotonic clock at a window's first
// paint (the caller subtracts the time it started the process) and the peak
// resident memory, then ends the program. bench/run.sh runs the programs
// that use it under Xvfb with a window manager.

#include <sys/resource.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace varnock::bench {

class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Report once the paint has been done and flushed.
            QTimer::singleShot(0, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                rusage usage{};
                getrusage(RUSAGE_SELF, &usage);
                std::printf("first_paint_monotonic_ns %lld\npeak_rss_kb %ld\n",
                            static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec,
                            usage.ru_maxrss);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

}  // namespace varnock::bench
