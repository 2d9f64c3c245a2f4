// The title strip: the close label's two looks through every kind of move,
// the drag handed to the window manager on any press on the title label,
// and the close label's click ending the program.

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "form_controls.h"
#include "tests/support/scripted_neighbours.h"
#include "window/qt/form1.h"

namespace {

const QColor kRest(112, 241, 183);  // 0x00B7F170
const QColor kLit(255, 255, 255);

}  // namespace

class TitleStripTest : public QObject {
    Q_OBJECT

private:
    QWidget* Find(const QString& name) { return FindControl(*form_, name); }
    QColor CloseLabelColor() { return Find("Label3")->palette().color(QPalette::Window); }
    // What the screen shows, not only the property.
    QColor CloseLabelDrawn() { return Find("Label3")->grab().toImage().pixelColor(5, 5); }

    // A move with no button held onto `point` of `control`, delivered
    // through the window as the window system would deliver it.
    void MoveOver(QWidget* control, QPoint point) { QTest::mouseMove(control, point); }
    void MoveOver(const QString& name) {
        QWidget* control = Find(name);
        MoveOver(control, control->rect().center());
    }
    void LightCloseLabel() {
        MoveOver("Label3");
        QCOMPARE(CloseLabelColor(), kLit);
    }

    varnock::testing::ScriptedNeighbours request_;
    std::vector<QWidget*> moveRequests_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void init() {
        moveRequests_.clear();
        form_ = std::make_unique<varnock::Form1>(
            request_, [this](QWidget& window) { moveRequests_.push_back(&window); });
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        // Start every case with the pointer off the window.
        QTest::mouseMove(form_.get(), QPoint(-50, -50));
    }
    void cleanup() { form_.reset(); }

    void closeLabelStartsAtRest() {
        QCOMPARE(CloseLabelColor(), kRest);
        QCOMPARE(CloseLabelDrawn(), kRest);
    }

    void moveOverCloseLabelLightsIt() {
        MoveOver("Label3");
        QCOMPARE(CloseLabelColor(), kLit);
        QCOMPARE(CloseLabelDrawn(), kLit);
        // Again, and at its very edge (its border belongs to it too).
        MoveOver(Find("Label3"), QPoint(0, 0));
        QCOMPARE(CloseLabelColor(), kLit);
    }

    // After the close label was lit, a move onto `point` of the form (the
    // centre of `under` when none is given), where `under` lies ("" for the
    // bare surface), leaves the label `expected`.
    void afterLit_data() {
        QTest::addColumn<QString>("under");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QColor>("expected");
        const QPoint centre(-1, -1);
        QTest::newRow("Label1") << "Label1" << centre << kRest;
        QTest::newRow("Label1 right of the icon") << "Label1" << QPoint(30, 4) << kRest;
        QTest::newRow("bare surface") << "" << QPoint(200, 27) << kRest;
        QTest::newRow("bare surface under Line1") << "" << QPoint(1, 120) << kRest;
        QTest::newRow("bare surface under Line4") << "" << QPoint(8, 158) << kRest;
        for (const char* other : {"imgLogo", "Label2", "Label4", "Label5", "Label6", "txtIp",
                                  "txtMAC", "Command1", "Picture1", "Picture2"}) {
            QTest::newRow(other) << other << centre << kLit;
        }
    }
    void afterLit() {
        QFETCH(QString, under);
        QFETCH(QPoint, point);
        QFETCH(QColor, expected);
        if (point == QPoint(-1, -1)) {
            point = Find(under)->geometry().center();
        }
        const QWidget* hit = form_->childAt(point);
        QCOMPARE(hit != nullptr ? hit->objectName() : QString(), under);

        LightCloseLabel();
        MoveOver(form_.get(), point);
        QCOMPARE(CloseLabelColor(), expected);
        QCOMPARE(CloseLabelDrawn(), expected);
    }

    void restoredLabelLightsAgain() {
        LightCloseLabel();
        MoveOver("Label1");
        QCOMPARE(CloseLabelColor(), kRest);
        LightCloseLabel();
        MoveOver(form_.get(), QPoint(200, 27));
        QCOMPARE(CloseLabelColor(), kRest);
        MoveOver(form_.get(), QPoint(201, 27));
        QCOMPARE(CloseLabelColor(), kRest);
    }

    void leavingIsNoMove() {
        LightCloseLabel();
        // Out of the window without a move over the title label or the form.
        QTest::mouseMove(form_.get(), QPoint(-50, -50));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(Find("Label3"), &leave);
        QApplication::sendEvent(form_.get(), &leave);
        QCOMPARE(CloseLabelColor(), kLit);
        // Back in over another control: still lit.
        MoveOver("Label2");
        QCOMPARE(CloseLabelColor(), kLit);
    }

    // With a button held, a move reaches the control that took the press
    // even where nothing tracks the mouse; it must stay that control's.
    void movesWithAButtonHeldStayWithTheirControl() {
        QWidget* label2 = Find("Label2");
        LightCloseLabel();
        QTest::mousePress(label2, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(label2, QPoint(8, 6));
        QTest::mouseMove(label2, QPoint(label2->width() + 20, 6));
        QTest::mouseRelease(label2, Qt::LeftButton, {}, QPoint(label2->width() + 20, 6));
        QCOMPARE(CloseLabelColor(), kLit);

        // A press on the bare surface keeps the moves with the form.
        QTest::mousePress(form_.get(), Qt::LeftButton, {}, QPoint(200, 27));
        QTest::mouseMove(form_.get(), QPoint(202, 28));
        QTest::mouseRelease(form_.get(), Qt::LeftButton, {}, QPoint(202, 28));
        QCOMPARE(CloseLabelColor(), kRest);
    }

    void pressOnTitleLabelHandsTheMoveOver_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("keys");
        QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers();
        QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers();
        QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers();
        QTest::newRow("left with Shift")
            << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("left with Ctrl")
            << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("right with Shift+Ctrl")
            << Qt::RightButton << (Qt::ShiftModifier | Qt::ControlModifier);
    }
    void pressOnTitleLabelHandsTheMoveOver() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, keys);
        QWidget* label1 = Find("Label1");
        const QPoint onTitle(200, 10);
        QTest::mousePress(label1, button, keys, onTitle);
        QCOMPARE(moveRequests_, std::vector<QWidget*>{form_.get()});
        QTest::mouseRelease(label1, button, keys, onTitle);
        QTest::mousePress(label1, button, keys, onTitle + QPoint(40, 0));
        QTest::mouseRelease(label1, button, keys, onTitle + QPoint(40, 0));
        QCOMPARE(moveRequests_.size(), 2u);
    }

    void noMoveFromOtherPresses() {
        for (const char* other : {"imgLogo", "Label3", "Label2", "Picture2"}) {
            QWidget* control = Find(other);
            QTest::mousePress(control, Qt::RightButton, {}, control->rect().center());
            QTest::mouseRelease(control, Qt::RightButton, {}, control->rect().center());
        }
        QTest::mousePress(form_.get(), Qt::LeftButton, {}, QPoint(200, 27));
        QTest::mouseRelease(form_.get(), Qt::LeftButton, {}, QPoint(200, 27));
        // Moving over the title label is no press either.
        MoveOver("Label1");
        QVERIFY(moveRequests_.empty());
    }

    // The real window manager request, where there is none: nothing moves
    // and nothing breaks.
    void pressWithoutWindowManager() {
        varnock::testing::ScriptedNeighbours request;
        varnock::Form1 form(request);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint before = form.pos();
        QTest::mousePress(form.findChild<QWidget*>("Label1"), Qt::LeftButton, {}, QPoint(200, 10));
        QTest::mouseRelease(form.findChild<QWidget*>("Label1"), Qt::LeftButton, {},
                            QPoint(200, 10));
        QCOMPARE(form.pos(), before);
        QVERIFY(form.isVisible());
    }

    // The click ends the event loop with 0 at once, whatever the window holds.
    void closeLabelClickEndsTheProgram() {
        form_->findChild<QLineEdit*>("txtMAC")->setText("00:1A:2B:3C:4D:5E");
        QTimer::singleShot(0, this, [this] { QTest::mouseClick(Find("Label3"), Qt::LeftButton); });
        // A loop that does not end would fail here with 99, not hang.
        QTimer::singleShot(5000, [] { QApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
    }

    // Only the click ends it: a press alone, other buttons, or a press on the
    // close label released elsewhere do not.
    void noEndWithoutAClick() {
        QWidget* label3 = Find("Label3");
        int result = -1;
        QTimer::singleShot(0, this, [&] {
            QTest::mousePress(label3, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseRelease(label3, Qt::LeftButton, {}, QPoint(-40, 60));
            QTest::mouseClick(label3, Qt::RightButton);
            QTest::mouseClick(label3, Qt::MiddleButton);
            QTest::mouseClick(Find("Label1"), Qt::LeftButton);
            QTimer::singleShot(100, [] { QApplication::exit(7); });
        });
        result = QApplication::exec();
        QCOMPARE(result, 7);
        QVERIFY(form_->isVisible());
    }
};

QTEST_MAIN(TitleStripTest)
#include "title_strip_test.moc"
