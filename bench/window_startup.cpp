// Starts the window as the program does and reports, on standard output,
// the monotonic clock at the window's first paint (the caller subtracts the
// time it started the process) and the peak resident memory. bench/run.sh
// runs it under Xvfb with a window manager.

#include <sys/resource.h>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <ctime>

#include "lookup/arp_request.h"
#include "window/form1.h"

namespace {

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

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnock"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    const auto request = varnock::MakeSystemArpRequest();
    varnock::Form1 form(*request);
    FirstPaint firstPaint;
    form.installEventFilter(&firstPaint);
    form.show();
    return QApplication::exec();
}
