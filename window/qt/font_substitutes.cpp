#include "window/qt/font_substitutes.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include "window/form_description.h"

namespace varnock {

void InstallFontSubstitutes() {
    for (const form::FontSubstitute& substitute : form::FontSubstitutes()) {
        QStringList faces;
        for (std::string_view face : substitute.substitutes) {
            faces << QString::fromLatin1(face.data(), static_cast<qsizetype>(face.size()));
        }
        QFont::insertSubstitutions(
            QString::fromLatin1(substitute.face.data(),
                                static_cast<qsizetype>(substitute.face.size())),
            faces);
    }
}

}  // namespace varnock
