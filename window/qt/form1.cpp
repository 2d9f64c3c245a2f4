#include "window/qt/form1.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "window/form_description.h"
#include "window/get_command.h"
#include "window/qt/accessible_roles.h"
#include "window/qt/blocking_call.h"
#include "window/qt/description_units.h"
#include "window/qt/flat_controls.h"
#include "window/qt/font_substitutes.h"
#include "window/qt/form_line.h"
#include "window/qt/picture_box.h"
#include "window/qt/png_resource.h"
#include "window/qt/readable_colors.h"

namespace varnock {
namespace {

using form::Alignment;
using form::ControlDescription;
using form::ControlKind;

QFont QtFont(const form::Font& described) {
    QFont font(ToQString(described.face));
    font.setPointSizeF(described.points);
    font.setWeight(described.IsBold() ? QFont::Bold : QFont::Normal);
    return font;
}

QFont FontFor(const ControlDescription& control) {
    return QtFont(form::FontOf(control));
}

void SetColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
}

// The form's labels draw their text from the top, where QLabel would centre
// it vertically.
Qt::Alignment LabelAlignment(Alignment alignment) {
    return (alignment == Alignment::kCentre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
}

QString PictureResource(form::Picture picture) {
    return picture == form::Picture::kLogo ? QStringLiteral(":/logo.png")
                                           : QStringLiteral(":/ribbon.png");
}

QAccessible::Role RoleFor(const ControlDescription& control) {
    switch (control.accessibleRole) {
        case form::AccessibleRole::kLink:
            return QAccessible::Link;
        case form::AccessibleRole::kGraphic:
            return QAccessible::Graphic;
        case form::AccessibleRole::kButton:
            return QAccessible::PushButton;
        case form::AccessibleRole::kOfKind:
            break;
    }
    return control.kind == ControlKind::kLine ? QAccessible::Separator : QAccessible::NoRole;
}

// A fixed colour stays as described. The system's colour is kept where it
// can be read on `background`; a dark theme's light text on the window's
// fixed light colours becomes dark.
QColor TextColorFor(const form::Colour& colour, const QColor& systemColor,
                    const QColor& background) {
    if (colour.fixed) {
        return ColorFromBgr(*colour.fixed);
    }
    return ReadableTextColor(systemColor, background);
}

QWidget* NewControl(const ControlDescription& control, QWidget& form) {
    switch (control.kind) {
        case ControlKind::kLabel:
            return control.flatBorder ? new FlatBorderLabel(&form) : new QLabel(&form);
        case ControlKind::kImage:
            return new QLabel(&form);
        case ControlKind::kLine:
            return new FormLine(ToPixels(control.from), ToPixels(control.to),
                                ColorFromBgr(*control.textColour->fixed), control.lineWidthPixels,
                                &form);
        case ControlKind::kTextBox:
            return new FlatTextBox(&form);
        case ControlKind::kButton:
            return new FlatButton(ToQString(control.text), &form);
        case ControlKind::kPictureBox:
            return new PictureBox(PictureResource(control.picture), &form);
    }
    return nullptr;
}

void DescribeLabel(const ControlDescription& control, QLabel& label, const QColor& systemText) {
    label.setText(ToQString(control.text));
    label.setTextFormat(Qt::PlainText);
    label.setAlignment(LabelAlignment(control.alignment));
    label.setWordWrap(control.wordWrap);
    // An opaque label paints its background colour; a transparent one only
    // its text, over the form.
    QColor beneath = ColorFromBgr(form::Window().background);
    if (control.background && control.background->fixed) {
        beneath = ColorFromBgr(*control.background->fixed);
        SetColor(label, QPalette::Window, beneath);
        label.setAutoFillBackground(true);
    }
    SetColor(label, QPalette::WindowText, TextColorFor(*control.textColour, systemText, beneath));
}

// Everything of the description but the lines' geometry, which FormLine
// takes when it is made.
void Describe(const ControlDescription& control, QWidget& widget, const QColor& systemText) {
    widget.setObjectName(ToQString(control.name));
    if (control.kind == ControlKind::kLine) {
        return;
    }
    widget.setGeometry(ToPixels(control.place));
    widget.setFont(FontFor(control));
    // The tool tip is also what a screen reader gives as the description.
    widget.setToolTip(ToQString(control.toolTip));
    if (!control.accessibleName.empty()) {
        widget.setAccessibleName(ToQString(control.accessibleName));
    }
    switch (control.kind) {
        case ControlKind::kLabel:
            DescribeLabel(control, static_cast<QLabel&>(widget), systemText);
            break;
        case ControlKind::kImage:
            static_cast<QLabel&>(widget).setScaledContents(true);
            break;
        case ControlKind::kTextBox: {
            auto& box = static_cast<QLineEdit&>(widget);
            // The box itself sets no limit; QLineEdit's default would stop
            // at 32767.
            box.setMaxLength(std::numeric_limits<int>::max());
            const QPalette& colors = box.palette();
            SetColor(box, QPalette::Text,
                     ReadableTextColor(colors.color(QPalette::Text), colors.color(QPalette::Base)));
            break;
        }
        case ControlKind::kButton: {
            auto& button = static_cast<QPushButton&>(widget);
            const QColor face = ColorFromBgr(*control.background->fixed);
            SetColor(button, QPalette::Button, face);
            SetColor(button, QPalette::ButtonText,
                     TextColorFor(*control.textColour, systemText, face));
            // Neither the default nor the cancel button: Enter and Escape do
            // nothing.
            button.setAutoDefault(false);
            button.setDefault(false);
            break;
        }
        case ControlKind::kPictureBox:
            // A picture box takes the focus like any control.
            widget.setFocusPolicy(Qt::StrongFocus);
            break;
        case ControlKind::kLine:
            break;
    }
}

QPixmap LargestPixmapOf(const QIcon& icon) {
    const QList<QSize> sizes = icon.availableSizes();
    const auto largest = std::max_element(sizes.begin(), sizes.end(), [](QSize a, QSize b) {
        return a.width() * a.height() < b.width() * b.height();
    });
    return largest == sizes.end() ? QPixmap() : icon.pixmap(*largest);
}

// A click as the controls raise it: the left button released over the
// control. Qt gives the release to the control that took the press, so a
// press elsewhere that ends here is no click.
bool IsClick(const QWidget& control, const QEvent& event) {
    if (event.type() != QEvent::MouseButtonRelease) {
        return false;
    }
    const auto& mouse = static_cast<const QMouseEvent&>(event);
    return mouse.button() == Qt::LeftButton && control.rect().contains(mouse.position().toPoint());
}

}  // namespace

Form1::Form1(ArpRequest& request, WindowMoveRequest requestWindowMove, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      request_(request),
      requestWindowMove_(std::move(requestWindowMove)) {
    InstallFontSubstitutes();
    CreateControls();
    Form_Load();
}

void Form1::CreateControls() {
    const form::WindowDescription& window = form::Window();
    setObjectName(ToQString(window.name));
    setWindowTitle(ToQString(window.title));
    // The icon's two images as PNG, which Qt reads itself: the same pixels
    // as the Windows icon file's, without loading an image plugin for it.
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(ReadPngResource(QStringLiteral(":/icon-32.png"))));
    icon.addPixmap(QPixmap::fromImage(ReadPngResource(QStringLiteral(":/icon-16.png"))));
    setWindowIcon(icon);
    setFixedSize(TwipsToPixels(window.widthTwips), TwipsToPixels(window.heightTwips));
    SetColor(*this, QPalette::Window, ColorFromBgr(window.background));
    setAutoFillBackground(true);
    // The controls that name no font inherit the window's.
    setFont(QtFont(window.font));
    // The title strip reacts to the mouse passing over it and over the bare
    // form; without tracking Qt reports moves only while a button is held.
    setMouseTracking(true);

    const QColor systemText = palette().color(QPalette::ButtonText);
    std::vector<QWidget*> topToBottom;
    for (const ControlDescription& control : form::Controls()) {
        QWidget* widget = NewControl(control, *this);
        // The role before anything else: see SetAccessibleRole.
        if (const QAccessible::Role role = RoleFor(control); role != QAccessible::NoRole) {
            SetAccessibleRole(*widget, role);
        }
        Describe(control, *widget, systemText);
        topToBottom.push_back(widget);
    }
    const auto named = [this](std::string_view name) {
        return findChild<QWidget*>(ToQString(name));
    };
    Label1 = qobject_cast<QLabel*>(named("Label1"));
    imgLogo = qobject_cast<QLabel*>(named("imgLogo"));
    Label3 = qobject_cast<FlatBorderLabel*>(named("Label3"));
    txtIp = qobject_cast<FlatTextBox*>(named("txtIp"));
    txtMAC = qobject_cast<FlatTextBox*>(named("txtMAC"));
    Command1 = qobject_cast<QPushButton*>(named("Command1"));
    Picture1 = named("Picture1");

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    // Stacking as listed, first on top: raising from the bottom of the list
    // up leaves the first one on top.
    for (auto control = topToBottom.rbegin(); control != topToBottom.rend(); ++control) {
        (*control)->raise();
    }

    const auto tabOrder = form::TabOrder();
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(named(tabOrder[i - 1]->name), named(tabOrder[i]->name));
    }
    named(tabOrder.front()->name)->setFocus();

    // A mouse event belongs to the control under the pointer (or the one
    // that took the press), whether or not the program handles it there: a
    // QLabel would pass it on to the form, where a move would read as one
    // over the bare surface. The lines stay transparent, so the form gets
    // the mouse where they lie over it.
    for (QWidget* control : topToBottom) {
        if (qobject_cast<FormLine*>(control) == nullptr) {
            control->setAttribute(Qt::WA_NoMousePropagation);
        }
    }
    Label1->setMouseTracking(true);
    Label3->setMouseTracking(true);
    // The controls whose mouse events reach the handlers (Command1 has its
    // signal).
    for (QWidget* control : std::array<QWidget*, 3>{Label1, Label3, Picture1}) {
        control->installEventFilter(this);
    }
}

void Form1::Form_Load() {
    // The image stretches the icon to its own 24 x 20, so give it the
    // largest image rather than one already scaled to fit.
    imgLogo->setPixmap(LargestPixmapOf(windowIcon()));
    // "Get" without the ampersand: no access key, Alt+G does nothing.
    for (const form::StartUpText& startUp : form::StartUpTexts()) {
        auto* control = findChild<QWidget*>(ToQString(startUp.control));
        if (auto* box = qobject_cast<QLineEdit*>(control)) {
            box->setText(ToQString(startUp.text));
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(ToQString(startUp.text));
        }
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (const auto* control = qobject_cast<const QWidget*>(watched)) {
        const std::string name = control->objectName().toStdString();
        if (event->type() == QEvent::MouseMove) {
            mouse_.Moved(name);
        } else if (event->type() == QEvent::MouseButtonPress) {
            mouse_.Pressed(name);
        } else if (IsClick(*control, *event)) {
            mouse_.Clicked(name);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Only moves the form itself receives: the controls keep theirs.
void Form1::mouseMoveEvent(QMouseEvent* event) {
    mouse_.Moved(FormMouse::kBareWindow);
    QWidget::mouseMoveEvent(event);
}

void Form1::ShowCloseLabelColour(form::Bgr colour) {
    SetColor(*Label3, QPalette::Window, ColorFromBgr(colour));
}

void Form1::BeginWindowDrag() {
    requestWindowMove_(*this);
}

void Form1::EndProgram() {
    // The event loop returns 0 as soon as this click has been handled, and
    // main lets the window go.
    QCoreApplication::exit(0);
}

void Form1::Command1_Click() {
    const std::string addressText = txtIp->text().toLocal8Bit().toStdString();
    if (!GetCommandHasWork(addressText)) {
        return;
    }
    // The request may wait seconds for the kernel to give up; the window
    // keeps painting meanwhile but must not take input.
    GetCommandOutcome outcome;
    try {
        RunWhileIgnoringInput([&] { outcome = RunGetCommand(addressText, request_); });
    } catch (...) {
        // No thread for the wait: a failure like any other.
        outcome = {std::nullopt, true};
    }
    if (outcome.resultText) {
        txtMAC->setText(QString::fromLocal8Bit(*outcome.resultText));
    }
    if (outcome.showFailureMessage) {
        ShowFailureMessage();
    }
}

void Form1::ShowFailureMessage() {
    QMessageBox box(QMessageBox::Critical, ToQString(kFailureTitle), ToQString(kFailurePrompt),
                    QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    // Which button closed the box makes no difference.
    box.exec();
}

}  // namespace varnock
