#include "window/module1.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace varnock::Module1 {

OpenResult OpenDocument(std::string& file, std::optional<std::string>& /*parameters*/,
                        const std::int32_t& /*showCommand*/) {
    // The desktop opens a URL as a whole (xdg-open or $BROWSER on X11, with
    // the URL as one argument of its own, never through a shell). It takes
    // no parameters, which a shell ignores for documents anyway, and it
    // cannot be asked for a maximized window: the browser shows its window
    // as it likes.
    const QUrl url(QString::fromLocal8Bit(file));
    return QDesktopServices::openUrl(url);
}

}  // namespace varnock::Module1
