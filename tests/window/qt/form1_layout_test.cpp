// The window as built and started: every control against the description,
// the start-up values, focus and keyboard, the pictures and the fonts.

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextLayout>
#include <memory>

#include "form_controls.h"
#include "tests/support/scripted_neighbours.h"
#include "tests/window/form_points.h"
#include "window/qt/form1.h"
#include "window/qt/form_line.h"

namespace {

namespace form = varnock::form;
using varnock::testing::BoxOf;
using varnock::testing::PixelBox;
using varnock::testing::PixelPoint;
using varnock::testing::PixelsOf;

// Logical pixels: Qt scales them on screens of more device pixels.
constexpr int kDpi = 96;

// The description's places, converted by the tests' own conversion
// (form_points.h), not the window's.
QRect ToRect(const PixelBox& box) {
    return {box.left, box.top, box.width, box.height};
}

QPoint ToPoint(PixelPoint point) {
    return {point.x, point.y};
}

QColor Bgr(unsigned bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor FixedColour(const std::optional<form::Colour>& colour) {
    return Bgr(colour.value().fixed.value());
}

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The installed face the description prefers for `face`.
std::string_view BestSubstitute(std::string_view face) {
    for (const form::FontSubstitute& substitute : form::FontSubstitutes()) {
        if (substitute.face == face) {
            return substitute.substitutes.front();
        }
    }
    return face;
}

// The widget class each kind of control is built as.
QString ClassOf(form::ControlKind kind) {
    switch (kind) {
        case form::ControlKind::kTextBox:
            return "QLineEdit";
        case form::ControlKind::kButton:
            return "QPushButton";
        case form::ControlKind::kLine:
            return "varnock::FormLine";
        case form::ControlKind::kLabel:
        case form::ControlKind::kImage:
        case form::ControlKind::kPictureBox:
            break;
    }
    return "QLabel";
}

int WrappedLineCount(const QFont& font, int width, const QString& text) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return lines;
}

QImage Rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

// The colour drawn at a logical pixel of `control`, read from the middle of
// the device pixels it covers (the tests also run at device pixel ratios
// 1.5 and 2).
QColor DrawnAt(QWidget& control, QPoint logical) {
    const QImage image = control.grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(int((logical.x() + 0.5) * ratio), int((logical.y() + 0.5) * ratio));
}

}  // namespace

class Form1LayoutTest : public QObject {
    Q_OBJECT

private:
    template <typename Control = QWidget>
    Control* Find(const QString& name) {
        return FindControl<Control>(*form_, name);
    }

    varnock::testing::ScriptedNeighbours request_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void init() {
        form_ = std::make_unique<varnock::Form1>(request_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void window() {
        QCOMPARE(form_->objectName(), "Form1");
        QCOMPARE(form_->windowTitle(), "Varnock");
        QVERIFY(form_->windowFlags().testFlag(Qt::FramelessWindowHint));
        const PixelBox window = varnock::testing::PointsAt(kDpi).window;
        QCOMPARE(form_->size(), QSize(window.width, window.height));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QCOMPARE(form_->palette().color(QPalette::Window), Bgr(form::Window().background));
        QVERIFY(form_->autoFillBackground());
        QCOMPARE(form_->font().family(), "MS Sans Serif");
        QCOMPARE(form_->font().pointSizeF(), 8.25);
        // The icon really came out of the program's resources.
        const QList<QSize> sizes = form_->windowIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(32, 32)));
        QVERIFY(sizes.contains(QSize(16, 16)));
    }

    void startUpState() {
        QCOMPARE(Find<QLineEdit>("txtIp")->text(), "0.0.0.0");
        QCOMPARE(Find<QLineEdit>("txtMAC")->text(), "");
        QCOMPARE(Find<QPushButton>("Command1")->text(), "Get");
        QCOMPARE(QApplication::focusWidget(), Find("txtIp"));
    }

    void noAccessKeyDefaultOrCancel() {
        auto* command1 = Find<QPushButton>("Command1");
        // With an empty address a stray press does nothing but count.
        Find<QLineEdit>("txtIp")->clear();
        QSignalSpy clicks(command1, &QPushButton::clicked);
        QVERIFY(!command1->isDefault() && !command1->autoDefault());

        // The key does reach shortcuts: with an ampersand it would press
        // (after the button's animated click).
        command1->setText("&Get");
        QTest::keyClick(form_.get(), Qt::Key_G, Qt::AltModifier);
        QTRY_COMPARE(clicks.count(), 1);
        command1->setText("Get");

        QTest::keyClick(form_.get(), Qt::Key_G, Qt::AltModifier);
        for (const char* box : {"txtIp", "txtMAC"}) {
            QTest::keyClick(Find(box), Qt::Key_Return);
            QTest::keyClick(Find(box), Qt::Key_Enter);
        }
        QTest::keyClick(Find("txtIp"), Qt::Key_Escape);
        QTest::keyClick(form_.get(), Qt::Key_Escape);
        QTest::qWait(300);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(form_->isVisible());
    }

    void tabChain() {
        QStringList order;
        for (const form::ControlDescription* control : form::TabOrder()) {
            order << Text(control->name);
        }
        // From the first, which has the focus at start, round to it again.
        const QStringList chain = order.mid(1) << order.first();
        QStringList forward;
        for (int i = 0; i < chain.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(forward, chain);
        QStringList backward;
        for (int i = 0; i < chain.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            backward << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(backward, QStringList(order.rbegin(), order.rend()));
    }

    void places_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("toolTip");
        for (const form::ControlDescription& control : form::Controls()) {
            if (control.kind != form::ControlKind::kLine) {
                QTest::newRow(control.name.data())
                    << ClassOf(control.kind) << ToRect(PixelsOf(control.place, kDpi))
                    << Text(control.toolTip);
            }
        }
    }
    void places() {
        QFETCH(QString, kind);
        QFETCH(QRect, place);
        QFETCH(QString, toolTip);
        QWidget* control = Find(QTest::currentDataTag());
        QVERIFY(control->inherits(qPrintable(kind)));
        QCOMPARE(control->geometry(), place);
        QCOMPARE(control->toolTip(), toolTip);
        QVERIFY(control->isEnabled() && control->isVisible());
    }

    void labels_data() {
        const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
        const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;
        const Qt::Alignment centre = Qt::AlignHCenter | Qt::AlignTop;
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("installedFace");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<Qt::Alignment>("alignment");
        QTest::addColumn<QColor>("textColor");
        QTest::addColumn<QColor>("background");  // invalid: transparent
        for (const form::ControlDescription& label : form::Controls()) {
            if (label.kind == form::ControlKind::kLabel) {
                const form::Font& font = form::FontOf(label);
                QTest::newRow(label.name.data())
                    << Text(label.text) << Text(font.face) << Text(BestSubstitute(font.face))
                    << font.points << font.IsBold()
                    << (label.alignment == form::Alignment::kCentre ? centre : left)
                    << (label.textColour->fixed ? FixedColour(label.textColour) : buttonText)
                    << (label.background ? FixedColour(label.background) : QColor());
            }
        }
    }
    void labels() {
        QFETCH(QString, text);
        QFETCH(QString, face);
        QFETCH(QString, installedFace);
        QFETCH(qreal, points);
        QFETCH(bool, bold);
        QFETCH(Qt::Alignment, alignment);
        QFETCH(QColor, textColor);
        QFETCH(QColor, background);
        auto* label = Find<QLabel>(QTest::currentDataTag());
        QCOMPARE(label->text(), text);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->font().family(), face);
        QCOMPARE(QFontInfo(label->font()).family(), installedFace);
        QCOMPARE(label->font().pointSizeF(), points);
        QCOMPARE(label->font().bold(), bold);
        QVERIFY(!label->font().italic() && !label->font().underline());
        QCOMPARE(label->alignment(), alignment);
        QCOMPARE(label->palette().color(QPalette::WindowText), textColor);
        QCOMPARE(label->autoFillBackground(), background.isValid());
        if (background.isValid()) {
            QCOMPARE(label->palette().color(QPalette::Window), background);
        }
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);

        // No text is clipped, and the about text takes exactly its two lines.
        const QRect box = label->contentsRect();
        const int wrap = label->wordWrap() ? int(Qt::TextWordWrap) : 0;
        const QRect needed =
            QFontMetrics(label->font()).boundingRect(box, int(alignment) | wrap, text);
        QVERIFY2(needed.width() <= box.width() && needed.height() <= box.height(),
                 qPrintable(QString("needs %1x%2").arg(needed.width()).arg(needed.height())));
        QCOMPARE(WrappedLineCount(label->font(), box.width(), text), label->wordWrap() ? 2 : 1);
    }

    void titleClearsTheIcon() {
        auto* label1 = Find<QLabel>("Label1");
        const int textStart =
            label1->x() + QFontMetrics(label1->font()).horizontalAdvance("       ");
        QVERIFY(textStart >= Find("imgLogo")->geometry().right() + 1);
    }

    void textBoxesAndButton_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("longestText");
        QTest::newRow("txtIp") << "Verdana" << 8.25 << true << "255.255.255.255";
        QTest::newRow("txtMAC") << "Verdana" << 9.0 << true << "00:1A:2B:3C:4D:5E";
        QTest::newRow("Command1") << "MS Sans Serif" << 8.25 << false << "Get";
    }
    void textBoxesAndButton() {
        QFETCH(QString, face);
        QFETCH(qreal, points);
        QFETCH(bool, bold);
        QFETCH(QString, longestText);
        QWidget* control = Find(QTest::currentDataTag());
        QCOMPARE(control->font().family(), face);
        QCOMPARE(control->font().pointSizeF(), points);
        QCOMPARE(control->font().bold(), bold);
        const QFontMetrics metrics(control->font());
        QVERIFY(metrics.horizontalAdvance(longestText) + 6 <= control->width());
        QVERIFY(metrics.height() + 2 <= control->height());
        const QPalette system = QApplication::palette();
        if (auto* box = qobject_cast<QLineEdit*>(control)) {
            QCOMPARE(box->palette().color(QPalette::Text), system.color(QPalette::Text));
            QCOMPARE(box->palette().color(QPalette::Base), system.color(QPalette::Base));
            QVERIFY(box->maxLength() > 1'000'000 && !box->isReadOnly());
            QCOMPARE(control->focusPolicy(), Qt::StrongFocus);
        } else {
            QCOMPARE(control->palette().color(QPalette::Button), QColor(Qt::white));
            QCOMPARE(control->palette().color(QPalette::ButtonText),
                     system.color(QPalette::ButtonText));
        }
    }

    void lines_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("width");
        QTest::addColumn<QPoint>("drawnAt");  // its middle, which nothing covers
        for (const form::ControlDescription& line : form::Controls()) {
            if (line.kind == form::ControlKind::kLine) {
                QTest::newRow(line.name.data())
                    << ToPoint(PixelsOf(line.from, kDpi)) << ToPoint(PixelsOf(line.to, kDpi))
                    << FixedColour(line.textColour) << line.lineWidthPixels
                    << ToPoint(varnock::testing::MiddleOfLine(line.name, kDpi));
            }
        }
    }
    void lines() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QColor, color);
        QFETCH(int, width);
        QFETCH(QPoint, drawnAt);
        auto* line = Find<varnock::FormLine>(QTest::currentDataTag());
        QCOMPARE(line->From(), from);
        QCOMPARE(line->To(), to);
        QCOMPARE(line->Color(), color);
        QCOMPARE(line->LineWidth(), width);
        QVERIFY(line->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(DrawnAt(*form_, drawnAt), color);
    }

    void stackingOrder() {
        QStringList topToBottom;  // as described
        for (const form::ControlDescription& control : form::Controls()) {
            topToBottom << Text(control.name);
        }
        QStringList stacked;  // children() runs from the bottom up
        for (QObject* child : form_->children()) {
            if (topToBottom.contains(child->objectName())) {
                stacked.prepend(child->objectName());
            }
        }
        QCOMPARE(stacked, topToBottom);
    }

    void drawnFace_data() {
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QColor>("color");
        const varnock::testing::FormPoints points = varnock::testing::PointsAt(kDpi);
        const QColor title = FixedColour(form::Control("Label1").background);
        const PixelBox close = BoxOf("Label3", kDpi);
        const PixelBox result = BoxOf("txtMAC", kDpi);
        // Inside Line2's width, below its top end.
        const form::ControlDescription& line2 = form::Control("Line2");
        const QPoint line2Top =
            ToPoint(PixelsOf(line2.from, kDpi)) + QPoint(0, line2.lineWidthPixels - 1);
        QTest::newRow("form background") << ToPoint(points.bare) << Bgr(form::Window().background);
        QTest::newRow("title strip") << ToPoint(points.title) << title;
        QTest::newRow("title over Line2's top") << line2Top << title;
        QTest::newRow("title to the right edge") << ToPoint(points.titleEnd) << title;
        QTest::newRow("close label inside")
            << ToPoint(points.closeInside) << FixedColour(form::Control("Label3").background);
        QTest::newRow("close label border")
            << QPoint(close.left, close.Middle().y) << QColor(Qt::black);
        QTest::newRow("close label border bottom")
            << QPoint(close.Middle().x, close.Bottom() - 1) << QColor(Qt::black);
        QTest::newRow("result box border")
            << QPoint(result.left, result.Middle().y) << QColor(Qt::black);
    }
    void drawnFace() {
        QFETCH(QPoint, pixel);
        QFETCH(QColor, color);
        QCOMPARE(DrawnAt(*form_, pixel), color);
    }

    void pictures() {
        // The program carries its pictures decoded: the same pixels as the
        // JPEGs they were drawn as.
        for (const char* name : {"logo", "ribbon", "logo@2x", "ribbon@2x"}) {
            const QImage drawn(QString(VARNOCK_SOURCE_DIR "/resources/%1.jpg").arg(name));
            QVERIFY(!drawn.isNull());
            QCOMPARE(Rgb(QImage(QString(":/%1.png").arg(name))), Rgb(drawn));
        }
        const QImage logo(":/logo.png");
        const QImage ribbon(":/ribbon.png");
        QCOMPARE(logo.size(), QSize(40, 31));
        QCOMPARE(ribbon.size(), QSize(20, 29));
        for (const char* name : {"Picture1", "Picture2"}) {
            auto* picture = Find<QLabel>(name);
            QCOMPARE(picture->focusPolicy(), Qt::StrongFocus);
            QVERIFY(!picture->hasScaledContents());
            QCOMPARE(picture->frameShape(), QFrame::NoFrame);
        }
        const qreal ratio = form_->devicePixelRatioF();
        const PixelBox picture1 = BoxOf("Picture1", kDpi);
        const QSize logoShown(picture1.width, picture1.height);  // cut at the box's edges
        if (ratio == 1.0) {
            QCOMPARE(Rgb(Find("Picture1")->grab().toImage()),
                     Rgb(logo.copy(QRect(QPoint(), logoShown))));
            QCOMPARE(Rgb(Find("Picture2")->grab().toImage()), Rgb(ribbon));
        } else {
            // Drawn from the variant with twice the pixels, at one device
            // pixel per image pixel where the ratio is 2, smoothly scaled to
            // the ratio otherwise.
            const auto variant = [ratio](const char* resource) {
                const QImage image(resource);
                QImage shown = Rgb(image.scaled(image.size() * ratio / 2.0, Qt::IgnoreAspectRatio,
                                                Qt::SmoothTransformation));
                shown.setDevicePixelRatio(ratio);
                return shown;
            };
            const QSize shown = logoShown * ratio;
            QCOMPARE(Rgb(Find("Picture1")->grab().toImage()),
                     variant(":/logo@2x.png").copy(QRect(QPoint(), shown)));
            QCOMPARE(Rgb(Find("Picture2")->grab().toImage()), variant(":/ribbon@2x.png"));
        }
    }

    void iconOnImgLogo() {
        auto* imgLogo = Find<QLabel>("imgLogo");
        QVERIFY(imgLogo->hasScaledContents());
        const QImage shown = imgLogo->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(32, 32));
        QCOMPARE(Rgb(shown), Rgb(form_->windowIcon().pixmap(QSize(32, 32)).toImage()));
        // Stretched to the image's box: the icon's centre is drawn, not navy.
        const QImage drawn = imgLogo->grab().toImage();
        const PixelBox box = BoxOf("imgLogo", kDpi);
        QCOMPARE(drawn.size(), QSize(box.width, box.height) * drawn.devicePixelRatio());
        QVERIFY(DrawnAt(*imgLogo, QPoint(box.width / 2, box.height / 2)) !=
                FixedColour(form::Control("Label1").background));
    }
};

QTEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
