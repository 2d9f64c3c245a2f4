// The window's colours under a dark theme, and the Get button's flat face:
// texts the theme would make unreadable on the form's fixed colours turn
// dark, readable ones stay the theme's.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "form_controls.h"
#include "tests/support/scripted_neighbours.h"
#include "window/qt/form1.h"
#include "window/qt/readable_colors.h"

namespace {

const QColor kBlack(Qt::black);
const QColor kWhite(Qt::white);

QPalette DarkPalette() {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, kWhite);
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
    return dark;
}

}  // namespace

class Form1LookTest : public QObject {
    Q_OBJECT

private:
    template <typename Control = QWidget>
    Control* Find(const QString& name) {
        return FindControl<Control>(*form_, name);
    }
    void Open(const QPalette& system) {
        QApplication::setPalette(system);
        form_ = std::make_unique<varnock::Form1>(request_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }

    varnock::testing::ScriptedNeighbours request_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void cleanup() {
        form_.reset();
        QApplication::setPalette(QPalette());
    }

    void contrastRatio() {
        QCOMPARE(varnock::ContrastRatio(kBlack, kWhite), 21.0);
        QCOMPARE(varnock::ContrastRatio(kWhite, kWhite), 1.0);
        // #777 on white is the classic case just short of 4.5:1.
        QCOMPARE(qRound(varnock::ContrastRatio(QColor(0x77, 0x77, 0x77), kWhite) * 100), 448);
    }

    void darkThemeTextOnTheFormTurnsDark() {
        Open(DarkPalette());
        for (const char* label : {"Label2", "Label4", "Label5", "Label6"}) {
            QCOMPARE(Find<QLabel>(label)->palette().color(QPalette::WindowText), kBlack);
        }
        QCOMPARE(Find("Command1")->palette().color(QPalette::ButtonText), kBlack);
        // Light on dark is readable: the boxes keep the theme's pair.
        const QPalette box = Find("txtIp")->palette();
        QCOMPARE(box.color(QPalette::Text), QColor(0xEE, 0xEE, 0xEE));
        QCOMPARE(box.color(QPalette::Base), QColor(0x2A, 0x2A, 0x2A));
    }

    void unreadableBoxPairGetsReadableText() {
        QPalette grey = DarkPalette();
        grey.setColor(QPalette::Base, QColor(0x66, 0x66, 0x66));
        grey.setColor(QPalette::Text, QColor(0x77, 0x77, 0x77));
        Open(grey);
        // On #666 white stands out more (5.7:1) than black (3.7:1).
        QCOMPARE(Find("txtMAC")->palette().color(QPalette::Text), kWhite);
        QCOMPARE(Find("txtMAC")->palette().color(QPalette::Base), QColor(0x66, 0x66, 0x66));
    }

    void getButtonIsFlatWithAFocusLine() {
        Open(QPalette());
        auto* command1 = Find<QPushButton>("Command1");
        const QImage resting = command1->grab().toImage();
        const QRect face = command1->rect();
        // Square corners in the frame colour, the white face inside.
        QCOMPARE(resting.pixelColor(0, 0), kBlack);
        QCOMPARE(resting.pixelColor(face.right(), face.bottom()), kBlack);
        QCOMPARE(resting.pixelColor(2, face.height() / 2), kWhite);
        const auto darkOnRow3 = [&](const QImage& image) {
            int dark = 0;
            for (int x = 3; x < face.width() - 3; ++x) {
                dark += image.pixelColor(x, 3) != kWhite ? 1 : 0;
            }
            return dark;
        };
        QCOMPARE(darkOnRow3(resting), 0);
        command1->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(command1->hasFocus());
        QVERIFY(darkOnRow3(command1->grab().toImage()) >= 5);
    }
};

QTEST_MAIN(Form1LookTest)
#include "form1_look_test.moc"
