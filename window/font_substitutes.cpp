#include "window/font_substitutes.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace varnock {

void InstallFontSubstitutes() {
    // Liberation Sans has the widths of the classic sans face. Verdana was
    // the model for the Vera design that DejaVu Sans continues, so it keeps
    // that face's wide letters; Tahoma is the narrow sibling of Verdana and
    // matches the sans widths better than DejaVu does. The title is indented
    // past the icon with spaces, and Liberation Serif's narrow space would
    // slide it under the icon; DejaVu Serif's is as wide as the old serif
    // face's. The second name in each list is the fallback.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Serif"), {QStringLiteral("DejaVu Serif"),
                                                            QStringLiteral("Liberation Serif")});
    QFont::insertSubstitutions(QStringLiteral("Verdana"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

}  // namespace varnock
