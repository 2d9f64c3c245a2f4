#include "window/form1.h"

#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
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

#include "lookup/mac_query.h"
#include "window/accessible_roles.h"
#include "window/blocking_call.h"
#include "window/description_units.h"
#include "window/flat_controls.h"
#include "window/font_substitutes.h"
#include "window/form_line.h"
#include "window/module1.h"
#include "window/picture_box.h"
#include "window/readable_colors.h"

namespace varnock {
namespace {

// Colours of the description, 0x00BBGGRR.
constexpr std::uint32_t kFormBackground = 0x00FEEDE9;   // very light blue
constexpr std::uint32_t kTitleBackground = 0x00800000;  // navy
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kCloseText = 0x00FF0000;        // blue
constexpr std::uint32_t kCloseBackground = 0x00B7F170;  // light green: the close label at rest
constexpr std::uint32_t kCloseLit = kWhite;             // the close label under the mouse
constexpr std::uint32_t kFrameLine = 0x00FFC0C0;        // light blue
constexpr std::uint32_t kSeparatorLine = 0x00808080;    // grey

// The form's labels draw their text from the top, where QLabel would centre
// it vertically.
constexpr Qt::Alignment kLabelLeft = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment kLabelCentre = Qt::AlignHCenter | Qt::AlignTop;

const QString kIpCaption = QStringLiteral("Remote Ip Address");
const QString kMacCaption = QStringLiteral("Remote MAC Address");
// What a screen reader calls the logo, a link to the maker's site.
const QString kMakerLinkName = QStringLiteral("Orbelund website");

const QString kFailurePrompt = QStringLiteral("ERROR : Remote MAC Cannot be Harvested");
const QString kFailureTitle = QStringLiteral("Orbelund");

// The maker's web page: the host that Label5 names, no path.
constexpr const char* kMakerWebPage = "https://www.orbelund.example";

QFont DescribedFont(const QString& face, qreal points, QFont::Weight weight) {
    QFont font(face);
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

void SetColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
}

void Describe(QWidget& control, const char* name, const QRect& place) {
    control.setObjectName(QLatin1String(name));
    control.setGeometry(place);
}

// An opaque label paints its background colour; a transparent one only its
// text, over whatever lies beneath.
void DescribeLabel(QLabel& label, const QString& text, const QFont& font, Qt::Alignment alignment,
                   const QColor& textColor) {
    label.setText(text);
    label.setTextFormat(Qt::PlainText);
    label.setFont(font);
    label.setAlignment(alignment);
    SetColor(label, QPalette::WindowText, textColor);
}

void MakeOpaque(QLabel& label, const QColor& background) {
    SetColor(label, QPalette::Window, background);
    label.setAutoFillBackground(true);
}

// A picture box takes the focus like any control; its tool tip is what a
// screen reader gives as its description.
void DescribePicture(QLabel& picture, const QString& toolTip) {
    picture.setFocusPolicy(Qt::StrongFocus);
    picture.setToolTip(toolTip);
}

// The boxes keep the system's own colour pair unless its text could not be
// read on its background.
void DescribeTextBox(FlatTextBox& box, const QFont& font, const QString& caption) {
    box.setFont(font);
    // The box itself sets no limit; QLineEdit's default would stop at 32767.
    box.setMaxLength(std::numeric_limits<int>::max());
    const QPalette& colors = box.palette();
    SetColor(box, QPalette::Text,
             ReadableTextColor(colors.color(QPalette::Text), colors.color(QPalette::Base)));
    box.setAccessibleName(caption);
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
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Varnock"));
    // The icon's two images as PNG, which Qt reads itself: the same pixels
    // as the Windows icon file's, without loading an image plugin for it.
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icon-16.png"), QSize(16, 16));
    setWindowIcon(icon);
    setFixedSize(TwipsToPixels(5580), TwipsToPixels(3480));
    SetColor(*this, QPalette::Window, ColorFromBgr(kFormBackground));
    setAutoFillBackground(true);
    setFont(DescribedFont(QStringLiteral("MS Sans Serif"), 8.25, QFont::Normal));
    // The title strip reacts to the mouse passing over it and over the bare
    // form; without tracking Qt reports moves only while a button is held.
    setMouseTracking(true);

    // The captions and texts on the form take the system's button-text
    // colour, unless that would be unreadable on the form's fixed light blue
    // (a dark theme's light text).
    const QColor formBackground = ColorFromBgr(kFormBackground);
    const QColor buttonText =
        ReadableTextColor(palette().color(QPalette::ButtonText), formBackground);

    // Created in tab order: Qt gives the focus at show to the first focusable
    // child, and the tab chain starts out in creation order.
    txtIp = new FlatTextBox(this);
    Describe(*txtIp, "txtIp", TwipsRect(2160, 570, 2565, 315));
    DescribeTextBox(*txtIp, DescribedFont(QStringLiteral("Verdana"), 8.25, QFont::Bold),
                    kIpCaption);

    txtMAC = new FlatTextBox(this);
    Describe(*txtMAC, "txtMAC", TwipsRect(135, 1380, 4590, 345));
    DescribeTextBox(*txtMAC, DescribedFont(QStringLiteral("Verdana"), 9, QFont::Bold), kMacCaption);

    Command1 = new FlatButton(QStringLiteral("&Get"), this);
    Describe(*Command1, "Command1", TwipsRect(4890, 510, 495, 360));
    SetColor(*Command1, QPalette::Button, ColorFromBgr(kWhite));
    SetColor(*Command1, QPalette::ButtonText,
             ReadableTextColor(palette().color(QPalette::ButtonText), ColorFromBgr(kWhite)));
    // Neither the default nor the cancel button: Enter and Escape do nothing.
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    Picture1 = new PictureBox(QStringLiteral(":/logo.png"), this);
    SetAccessibleRole(*Picture1, QAccessible::Link);
    Describe(*Picture1, "Picture1", TwipsRect(4845, 1320, 540, 450));
    DescribePicture(*Picture1, QStringLiteral("Visit Developer's Website"));
    Picture1->setAccessibleName(kMakerLinkName);

    Picture2 = new PictureBox(QStringLiteral(":/ribbon.png"), this);
    SetAccessibleRole(*Picture2, QAccessible::Graphic);
    Describe(*Picture2, "Picture2", TwipsRect(825, 2550, 300, 435));
    DescribePicture(*Picture2, QStringLiteral("Care For AIDS Victims"));
    Picture2->setAccessibleName(QStringLiteral("Red ribbon"));

    Label1 = new QLabel(this);
    Describe(*Label1, "Label1", TwipsRect(-45, -15, 5655, 315));
    DescribeLabel(*Label1, QStringLiteral("       Varnock"),
                  DescribedFont(QStringLiteral("MS Serif"), 9.75, QFont::Bold), kLabelLeft,
                  ColorFromBgr(kWhite));
    MakeOpaque(*Label1, ColorFromBgr(kTitleBackground));
    Label1->setMouseTracking(true);
    // The indent that clears the icon is not read out.
    Label1->setAccessibleName(Label1->text().trimmed());

    imgLogo = new QLabel(this);
    Describe(*imgLogo, "imgLogo", TwipsRect(0, 0, 360, 300));
    imgLogo->setScaledContents(true);

    Label3 = new FlatBorderLabel(this);
    SetAccessibleRole(*Label3, QAccessible::PushButton);
    Describe(*Label3, "Label3", TwipsRect(5235, 15, 285, 255));
    DescribeLabel(*Label3, QStringLiteral("X"),
                  DescribedFont(QStringLiteral("MS Sans Serif"), 8.25, QFont::Bold), kLabelCentre,
                  ColorFromBgr(kCloseText));
    MakeOpaque(*Label3, ColorFromBgr(kCloseBackground));
    Label3->setMouseTracking(true);
    Label3->setAccessibleName(QStringLiteral("Close"));

    Label2 = new QLabel(this);
    Describe(*Label2, "Label2", TwipsRect(135, 615, 1965, 285));
    DescribeLabel(*Label2, kIpCaption,
                  DescribedFont(QStringLiteral("Verdana"), 8.25, QFont::Normal), kLabelLeft,
                  buttonText);

    Label4 = new QLabel(this);
    Describe(*Label4, "Label4", TwipsRect(135, 1035, 2295, 270));
    DescribeLabel(*Label4, kMacCaption, DescribedFont(QStringLiteral("Verdana"), 9, QFont::Normal),
                  kLabelLeft, buttonText);

    Label5 = new QLabel(this);
    Describe(*Label5, "Label5", TwipsRect(270, 1905, 4605, 495));
    DescribeLabel(*Label5,
                  QStringLiteral("A Freeware tool for harvesting Remote MAC Address from "
                                 "www.orbelund.example"),
                  DescribedFont(QStringLiteral("Tahoma"), 8.25, QFont::Normal), kLabelCentre,
                  buttonText);
    Label5->setWordWrap(true);

    Label6 = new QLabel(this);
    Describe(*Label6, "Label6", TwipsRect(1380, 2625, 3675, 285));
    DescribeLabel(*Label6, QStringLiteral("40 millions infected. Still Growing ..."),
                  DescribedFont(QStringLiteral("Tahoma"), 8.25, QFont::Bold), kLabelLeft,
                  buttonText);

    const QColor frameLine = ColorFromBgr(kFrameLine);
    Line1 = new FormLine(TwipsPoint(15, 45), TwipsPoint(30, 3375), frameLine, 5, this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line2 = new FormLine(TwipsPoint(5550, 60), TwipsPoint(5550, 3405), frameLine, 5, this);
    Line2->setObjectName(QStringLiteral("Line2"));
    Line3 = new FormLine(TwipsPoint(-105, 3435), TwipsPoint(5595, 3435), frameLine, 5, this);
    Line3->setObjectName(QStringLiteral("Line3"));
    Line4 = new FormLine(TwipsPoint(30, 2370), TwipsPoint(5580, 2370), ColorFromBgr(kSeparatorLine),
                         1, this);
    Line4->setObjectName(QStringLiteral("Line4"));
    for (FormLine* line : {Line1, Line2, Line3, Line4}) {
        SetAccessibleRole(*line, QAccessible::Separator);
    }

    // Stacking as listed, first on top: raising from the bottom of the list
    // up leaves the first one on top.
    const std::array<QWidget*, 16> topToBottom{
        Picture2, Picture1, Command1, txtMAC,  txtIp,  Label6, Label5, Label4,
        Label2,   Line3,    Label3,   imgLogo, Label1, Line1,  Line2,  Line4};
    for (auto control = topToBottom.rbegin(); control != topToBottom.rend(); ++control) {
        (*control)->raise();
    }

    setTabOrder(txtIp, txtMAC);
    setTabOrder(txtMAC, Command1);
    setTabOrder(Command1, Picture1);
    setTabOrder(Picture1, Picture2);
    txtIp->setFocus();

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
    // The controls whose events reach the program (Command1 has its signal).
    for (QWidget* control : std::array<QWidget*, 3>{Label1, Label3, Picture1}) {
        control->installEventFilter(this);
    }
}

void Form1::Form_Load() {
    // The image stretches the icon to its own 24 x 20, so give it the
    // largest image rather than one already scaled to fit.
    imgLogo->setPixmap(LargestPixmapOf(windowIcon()));
    txtIp->setText(QStringLiteral("0.0.0.0"));
    txtMAC->setText(QString());
    // Without the ampersand there is no access key: Alt+G does nothing.
    Command1->setText(QStringLiteral("Get"));
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == Label1) {
        if (type == QEvent::MouseButtonPress) {
            Label1_MouseDown();
        } else if (type == QEvent::MouseMove) {
            Label1_MouseMove();
        }
    } else if (watched == Label3) {
        if (type == QEvent::MouseMove) {
            Label3_MouseMove();
        } else if (IsClick(*Label3, *event)) {
            Label3_Click();
        }
    } else if (watched == Picture1 && IsClick(*Picture1, *event)) {
        Picture1_Click();
    }
    return QWidget::eventFilter(watched, event);
}

// Only moves the form itself receives: the controls keep theirs.
void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

// Whatever the button and the keys held.
void Form1::Label1_MouseDown() {
    BeginWindowDrag();
}

// Every move sets the colour again, lit or not; leaving a control is no
// move and changes nothing.
void Form1::Label1_MouseMove() {
    SetColor(*Label3, QPalette::Window, ColorFromBgr(kCloseBackground));
}

void Form1::Label3_MouseMove() {
    SetColor(*Label3, QPalette::Window, ColorFromBgr(kCloseLit));
}

void Form1::Form_MouseMove() {
    SetColor(*Label3, QPalette::Window, ColorFromBgr(kCloseBackground));
}

void Form1::Label3_Click() {
    // The end of the program, without a question: the event loop returns 0
    // as soon as this click has been handled, and main lets the window go.
    QCoreApplication::exit(0);
}

void Form1::BeginWindowDrag() {
    // The window manager moves the window until the button is released; the
    // program reads no positions and sets none.
    requestWindowMove_(*this);
}

void Form1::Picture1_Click() {
    // The link never troubles the user: whatever fails is dropped, and the
    // shell's result is not looked at.
    try {
        std::string file = kMakerWebPage;
        std::optional<std::string> parameters;  // none, not an empty text
        const std::int32_t showCommand = Module1::kShowMaximized;
        [[maybe_unused]] const std::int32_t result =
            Module1::OpenDocument(file, parameters, showCommand);
    } catch (...) {
    }
}

void Form1::Command1_Click() {
    // Every failure of the command, whatever raised it, ends in the same
    // message. A lookup without an answer empties txtMAC first, so no stale
    // address stays beside the message.
    bool failed = false;
    try {
        if (txtIp->text().isEmpty()) {
            return;
        }
        const std::string addressText = txtIp->text().toLocal8Bit().toStdString();
        const std::string delimiter = ":";
        std::string hardwareAddressText;
        Flag found = kFalse;
        // The request may wait seconds for the kernel to give up; the window
        // keeps painting meanwhile but must not take input.
        RunWhileIgnoringInput([&] {
            found = QueryMacAddress(addressText, hardwareAddressText, delimiter, request_);
        });
        if (found != kFalse) {
            txtMAC->setText(QString::fromLocal8Bit(hardwareAddressText));
            return;
        }
        txtMAC->setText(QString());
        failed = true;
    } catch (...) {
        failed = true;
    }
    if (failed) {
        ShowFailureMessage();
    }
}

void Form1::ShowFailureMessage() {
    QMessageBox box(QMessageBox::Critical, kFailureTitle, kFailurePrompt, QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    // Which button closed the box makes no difference.
    box.exec();
}

}  // namespace varnock
