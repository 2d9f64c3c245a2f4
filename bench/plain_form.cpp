// The honest peer of window_startup: the form a developer would build with
// stock Qt Widgets instead of the window. The same controls, texts, fonts,
// colours, pictures and places, read from the shared description, but only
// stock widgets with their own painting and the default style: QLabel for
// the title strip, the close label, the captions and the pictures, QLineEdit
// for the boxes, QPushButton for Get, and filled widgets for the lines. It
// starts Qt as any program does (no font warm-up), and reports its first
// paint and peak memory the same way (first_paint.h).

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <string_view>

#include "bench/first_paint.h"
#include "window/form_description.h"
#include "window/qt/description_units.h"

namespace {

using varnock::ColorFromBgr;
using varnock::ToPixels;
using varnock::ToQString;
using varnock::form::ControlDescription;
using varnock::form::ControlKind;

QFont FontOf(const varnock::form::Font& described) {
    QFont font(ToQString(described.face));
    font.setPointSizeF(described.points);
    font.setBold(described.IsBold());
    return font;
}

void SetColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}

// A line is a strip of its colour between its two ends, as wide as the
// line (the frame's slightly slanted left line becomes straight).
QRect LineStrip(const ControlDescription& line) {
    const QRect ends = QRect(ToPixels(line.from), ToPixels(line.to)).normalized();
    const int before = (line.lineWidthPixels - 1) / 2;
    const int after = line.lineWidthPixels / 2;
    return ends.width() < ends.height() ? ends.adjusted(-before, 0, after, 0)
                                        : ends.adjusted(0, -before, 0, after);
}

QWidget* NewControl(const ControlDescription& control, QWidget& form) {
    switch (control.kind) {
        case ControlKind::kLabel: {
            auto* label = new QLabel(ToQString(control.text), &form);
            label->setAlignment((control.alignment == varnock::form::Alignment::kCentre
                                     ? Qt::AlignHCenter
                                     : Qt::AlignLeft) |
                                Qt::AlignTop);
            label->setWordWrap(control.wordWrap);
            if (control.flatBorder) {
                label->setFrameStyle(QFrame::Box | QFrame::Plain);
            }
            return label;
        }
        case ControlKind::kImage: {
            auto* image = new QLabel(&form);
            image->setPixmap(form.windowIcon().pixmap(32));
            image->setScaledContents(true);
            return image;
        }
        case ControlKind::kLine: {
            auto* line = new QWidget(&form);
            line->setGeometry(LineStrip(control));
            return line;
        }
        case ControlKind::kTextBox:
            return new QLineEdit(&form);
        case ControlKind::kButton:
            return new QPushButton(ToQString(control.text), &form);
        case ControlKind::kPictureBox: {
            auto* picture = new QLabel(&form);
            picture->setPixmap(QPixmap(control.picture == varnock::form::Picture::kLogo
                                           ? QStringLiteral(":/logo.png")
                                           : QStringLiteral(":/ribbon.png"),
                                       "PNG"));
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            picture->setFocusPolicy(Qt::StrongFocus);
            return picture;
        }
    }
    return nullptr;
}

void Describe(const ControlDescription& control, QWidget& widget) {
    widget.setObjectName(ToQString(control.name));
    if (control.kind != ControlKind::kLine) {
        widget.setGeometry(ToPixels(control.place));
        widget.setFont(FontOf(varnock::form::FontOf(control)));
        widget.setToolTip(ToQString(control.toolTip));
        widget.setAccessibleName(ToQString(control.accessibleName));
    }
    // Fixed colours as described; the system's stay the theme's.
    const bool filled = control.kind == ControlKind::kLabel || control.kind == ControlKind::kLine;
    if (control.background && control.background->fixed) {
        SetColour(widget, filled ? QPalette::Window : QPalette::Button,
                  ColorFromBgr(*control.background->fixed));
        widget.setAutoFillBackground(filled);
    }
    if (control.textColour && control.textColour->fixed) {
        const QColor colour = ColorFromBgr(*control.textColour->fixed);
        if (control.kind == ControlKind::kLine) {
            SetColour(widget, QPalette::Window, colour);
            widget.setAutoFillBackground(true);
        } else {
            SetColour(widget, QPalette::WindowText, colour);
        }
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Installed faces of the same widths for the described ones, as the
    // window maps them.
    for (const auto& substitute : varnock::form::FontSubstitutes()) {
        QStringList faces;
        for (std::string_view face : substitute.substitutes) {
            faces << ToQString(face);
        }
        QFont::insertSubstitutions(ToQString(substitute.face), faces);
    }

    const varnock::form::WindowDescription& description = varnock::form::Window();
    QWidget form(nullptr, Qt::Window | Qt::FramelessWindowHint);
    form.setWindowTitle(ToQString(description.title));
    QIcon icon(QStringLiteral(":/icon-32.png"));
    icon.addFile(QStringLiteral(":/icon-16.png"));
    form.setWindowIcon(icon);
    form.setFixedSize(varnock::TwipsToPixels(description.widthTwips),
                      varnock::TwipsToPixels(description.heightTwips));
    SetColour(form, QPalette::Window, ColorFromBgr(description.background));
    form.setAutoFillBackground(true);
    form.setFont(FontOf(description.font));

    // Made from the bottom of the list up, so that the first listed lies on
    // top, as later siblings do.
    const auto controls = varnock::form::Controls();
    std::for_each(controls.rbegin(), controls.rend(), [&form](const ControlDescription& control) {
        Describe(control, *NewControl(control, form));
    });
    for (const auto& startUp : varnock::form::StartUpTexts()) {
        QWidget* control = form.findChild<QWidget*>(ToQString(startUp.control));
        if (auto* box = qobject_cast<QLineEdit*>(control)) {
            box->setText(ToQString(startUp.text));
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            button->setText(ToQString(startUp.text));
        }
    }
    const auto tabOrder = varnock::form::TabOrder();
    const auto named = [&form](const ControlDescription* control) {
        return form.findChild<QWidget*>(ToQString(control->name));
    };
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(named(tabOrder[i - 1]), named(tabOrder[i]));
    }
    named(tabOrder.front())->setFocus();

    varnock::bench::FirstPaint firstPaint;
    form.installEventFilter(&firstPaint);
    form.show();
    return QApplication::exec();
}
