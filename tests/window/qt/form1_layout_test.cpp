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
#include "window/qt/form1.h"
#include "window/qt/form_line.h"

namespace {

// The description's units, converted here independently of the window code.
QRect Twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

QColor Bgr(unsigned bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
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
        QCOMPARE(form_->size(), QSize(372, 232));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QCOMPARE(form_->palette().color(QPalette::Window), QColor(233, 237, 254));
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
        const QStringList chain{"txtMAC", "Command1", "Picture1", "Picture2", "txtIp"};
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
        QCOMPARE(backward, QStringList({"Picture2", "Picture1", "Command1", "txtMAC", "txtIp"}));
    }

    void places_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("place");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("Label1") << "QLabel" << Twips(-45, -15, 5655, 315) << "";
        QTest::newRow("imgLogo") << "QLabel" << Twips(0, 0, 360, 300) << "";
        QTest::newRow("Label3") << "QLabel" << Twips(5235, 15, 285, 255) << "";
        QTest::newRow("Label2") << "QLabel" << Twips(135, 615, 1965, 285) << "";
        QTest::newRow("txtIp") << "QLineEdit" << Twips(2160, 570, 2565, 315) << "";
        QTest::newRow("Command1") << "QPushButton" << Twips(4890, 510, 495, 360) << "";
        QTest::newRow("Label4") << "QLabel" << Twips(135, 1035, 2295, 270) << "";
        QTest::newRow("txtMAC") << "QLineEdit" << Twips(135, 1380, 4590, 345) << "";
        QTest::newRow("Picture1") << "QLabel" << Twips(4845, 1320, 540, 450)
                                  << "Visit Developer's Website";
        QTest::newRow("Label5") << "QLabel" << Twips(270, 1905, 4605, 495) << "";
        QTest::newRow("Picture2") << "QLabel" << Twips(825, 2550, 300, 435)
                                  << "Care For AIDS Victims";
        QTest::newRow("Label6") << "QLabel" << Twips(1380, 2625, 3675, 285) << "";
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
        QTest::newRow("Label1") << "       Varnock"
                                << "MS Serif"
                                << "DejaVu Serif" << 9.75 << true << left << Bgr(0xFFFFFF)
                                << Bgr(0x800000);
        QTest::newRow("Label3") << "X"
                                << "MS Sans Serif"
                                << "Liberation Sans" << 8.25 << true << centre << Bgr(0xFF0000)
                                << Bgr(0xB7F170);
        QTest::newRow("Label2") << "Remote Ip Address"
                                << "Verdana"
                                << "DejaVu Sans" << 8.25 << false << left << buttonText << QColor();
        QTest::newRow("Label4") << "Remote MAC Address"
                                << "Verdana"
                                << "DejaVu Sans" << 9.0 << false << left << buttonText << QColor();
        QTest::newRow("Label5")
            << "A Freeware tool for harvesting Remote MAC Address from www.orbelund.example"
            << "Tahoma"
            << "Liberation Sans" << 8.25 << false << centre << buttonText << QColor();
        QTest::newRow("Label6") << "40 millions infected. Still Growing ..."
                                << "Tahoma"
                                << "Liberation Sans" << 8.25 << true << left << buttonText
                                << QColor();
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
        QTest::addColumn<QPoint>("drawnAt");  // a pixel of the line nothing covers
        QTest::newRow("Line1") << QPoint(1, 3) << QPoint(2, 225) << Bgr(0xFFC0C0) << 5
                               << QPoint(1, 120);
        QTest::newRow("Line2") << QPoint(370, 4) << QPoint(370, 227) << Bgr(0xFFC0C0) << 5
                               << QPoint(370, 120);
        QTest::newRow("Line3") << QPoint(-7, 229) << QPoint(373, 229) << Bgr(0xFFC0C0) << 5
                               << QPoint(186, 229);
        QTest::newRow("Line4") << QPoint(2, 158) << QPoint(372, 158) << Bgr(0x808080) << 1
                               << QPoint(186, 158);
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
        const QStringList topToBottom{
            "Picture2", "Picture1", "Command1", "txtMAC",  "txtIp",  "Label6", "Label5", "Label4",
            "Label2",   "Line3",    "Label3",   "imgLogo", "Label1", "Line1",  "Line2",  "Line4"};
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
        QTest::newRow("form background") << QPoint(200, 27) << QColor(233, 237, 254);
        QTest::newRow("title strip") << QPoint(200, 3) << Bgr(0x800000);
        QTest::newRow("title over Line2's top") << QPoint(370, 8) << Bgr(0x800000);
        QTest::newRow("title to the right edge") << QPoint(371, 18) << Bgr(0x800000);
        QTest::newRow("close label inside") << QPoint(351, 3) << Bgr(0xB7F170);
        QTest::newRow("close label border") << QPoint(349, 9) << QColor(Qt::black);
        QTest::newRow("close label border bottom") << QPoint(358, 17) << QColor(Qt::black);
        QTest::newRow("result box border") << QPoint(9, 100) << QColor(Qt::black);
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
        if (ratio == 1.0) {
            QCOMPARE(Rgb(Find("Picture1")->grab().toImage()), Rgb(logo.copy(0, 0, 36, 30)));
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
            const QSize shown = QSize(36, 30) * ratio;
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
        QCOMPARE(drawn.size(), QSize(24, 20) * drawn.devicePixelRatio());
        QVERIFY(DrawnAt(*imgLogo, QPoint(12, 10)) != Bgr(0x800000));
    }
};

QTEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
