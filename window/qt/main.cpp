#include <QApplication>

#include "lookup/arp_request.h"
#include "window/qt/font_warm_up.h"
#include "window/qt/form1.h"

int main(int argc, char* argv[]) {
    // Before anything else, so it runs while Qt connects to the display.
    varnock::FontWarmUp fontWarmUp;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnock"));
    QApplication::setApplicationVersion(QStringLiteral(VARNOCK_VERSION_TEXT));
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.orbelund.Varnock"));

    fontWarmUp.Wait();
    const auto request = varnock::MakeSystemArpRequest();
    varnock::Form1 form(*request);
    form.show();
    return QApplication::exec();
}
