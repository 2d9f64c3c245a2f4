// Starts the window as the program's main does and reports its first paint and
// peak memory (first_paint.h).

#include <QApplication>

#include "bench/first_paint.h"
#include "lookup/arp_request.h"
#include "window/qt/font_warm_up.h"
#include "window/qt/form1.h"

int main(int argc, char* argv[]) {
    varnock::FontWarmUp fontWarmUp;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnock"));
    QApplication::setApplicationVersion(QStringLiteral(VARNOCK_VERSION_TEXT));
    fontWarmUp.Wait();
    const auto request = varnock::MakeSystemArpRequest();
    varnock::Form1 form(*request);
    varnock::bench::FirstPaint firstPaint;
    form.installEventFilter(&firstPaint);
    form.show();
    return QApplication::exec();
}
