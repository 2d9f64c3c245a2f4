// The Get command in the Qt window, against a scripted request: each kind
// of outcome shown, the message box, and a window that paints but takes no
// input while the request is out.

#include <arpa/inet.h>

#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "message_box_watcher.h"
#include "tests/support/scripted_neighbours.h"
#include "window/qt/form1.h"

using varnock::testing::ScriptedNeighbours;

// How the scripted request behaves in a row of the failure table.
enum class Behaviour { kAnswer, kFail, kThrowOther };
Q_DECLARE_METATYPE(Behaviour)

namespace {

ScriptedNeighbours::Reply ReplyOf(Behaviour behaviour, int answerLength) {
    const std::vector<std::uint8_t> answer{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    switch (behaviour) {
        case Behaviour::kAnswer:
            return varnock::testing::Answer({answer.begin(), answer.begin() + answerLength});
        case Behaviour::kFail:
            return varnock::testing::Fails(varnock::arp_status::kNoAnswer);
        case Behaviour::kThrowOther: {
            ScriptedNeighbours::Reply reply;
            reply.before = [] { throw 42; };
            return reply;
        }
    }
    return {};
}

const QString kPrevious = QStringLiteral("previous result");

class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

}  // namespace

class GetCommandTest : public QObject {
    Q_OBJECT

private:
    QLineEdit* txtIp() { return form_->findChild<QLineEdit*>("txtIp"); }
    QLineEdit* txtMAC() { return form_->findChild<QLineEdit*>("txtMAC"); }
    QPushButton* Command1() { return form_->findChild<QPushButton*>("Command1"); }

    void CheckWhileWaiting(MessageBoxWatcher& boxes) {
        // Runs while the request is still out, or the window froze.
        QTRY_VERIFY(request_->Holding());
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);

        PaintCounter counter;
        form_->installEventFilter(&counter);
        form_->update();
        QTRY_VERIFY(counter.paints > 0);
        form_->removeEventFilter(&counter);

        QTest::mouseClick(Command1(), Qt::LeftButton);
        QTest::keyClick(Command1(), Qt::Key_Space);
        QTest::keyClicks(txtIp(), "9");
        QTest::qWait(20);
        QCOMPARE(int(request_->CallCount()), 1);
        QCOMPARE(txtIp()->text(), "192.0.2.2");
        QVERIFY(boxes.seen.empty());
        QVERIFY(request_->Holding());
    }

    std::unique_ptr<ScriptedNeighbours> request_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void init() {
        request_ = std::make_unique<ScriptedNeighbours>();
        request_->reply = ReplyOf(Behaviour::kAnswer, 6);
        form_ = std::make_unique<varnock::Form1>(*request_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() {
        form_.reset();
        request_.reset();
    }

    void failureTable_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<int>("answerLength");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("boxShown");
        // The rest of the table is the shared command's; here, that the
        // window shows each kind of outcome.
        QTest::newRow("host answers")
            << "192.0.2.2" << Behaviour::kAnswer << 6 << 1 << "00:1A:2B:3C:4D:5E" << false;
        QTest::newRow("no answer") << "192.0.2.77" << Behaviour::kFail << 6 << 1 << "" << true;
        QTest::newRow("request throws")
            << "192.0.2.2" << Behaviour::kThrowOther << 6 << 1 << kPrevious << true;
    }
    void failureTable() {
        QFETCH(QString, address);
        QFETCH(Behaviour, behaviour);
        QFETCH(int, answerLength);
        QFETCH(int, requests);
        QFETCH(QString, result);
        QFETCH(bool, boxShown);
        request_->reply = ReplyOf(behaviour, answerLength);
        txtIp()->setText(address);
        txtMAC()->setText(kPrevious);

        MessageBoxWatcher boxes;
        QTest::mouseClick(Command1(), Qt::LeftButton);

        QCOMPARE(int(request_->CallCount()), requests);
        QCOMPARE(txtMAC()->text(), result);
        QCOMPARE(txtIp()->text(), address);
        QCOMPARE(boxes.seen.size(), boxShown ? 1u : 0u);
        if (boxShown) {
            const SeenMessageBox& box = boxes.seen.front();
            QCOMPARE(box.text, "ERROR : Remote MAC Cannot be Harvested");
            QCOMPARE(box.title, "Orbelund");
            QCOMPARE(box.icon, QMessageBox::Critical);
            QCOMPARE(box.standardButtons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box.buttonCount, 1);
            QCOMPARE(box.modality, Qt::ApplicationModal);
        }
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void asksForTheTypedAddress_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<quint32>("destination");
        QTest::newRow("dotted") << "192.0.2.2" << quint32(htonl(0xC0000202));
        QTest::newRow("shorthand") << "192.2" << quint32(htonl(0xC0000002));
        QTest::newRow("rejected") << "abc" << quint32(0xFFFFFFFF);
    }
    void asksForTheTypedAddress() {
        QFETCH(QString, address);
        QFETCH(quint32, destination);
        request_->reply = ReplyOf(Behaviour::kFail, 0);
        txtIp()->setText(address);
        MessageBoxWatcher boxes;
        QTest::mouseClick(Command1(), Qt::LeftButton);
        QCOMPARE(int(request_->CallCount()), 1);
        QCOMPARE(request_->Calls()[0].destination, destination);
        QCOMPARE(request_->Calls()[0].source, 0u);
    }

    void secondPressAfterAnAnswer() {
        MessageBoxWatcher boxes;
        txtIp()->setText("192.0.2.2");
        QTest::mouseClick(Command1(), Qt::LeftButton);
        QCOMPARE(txtMAC()->text(), "00:1A:2B:3C:4D:5E");
        request_->reply = ReplyOf(Behaviour::kFail, 0);
        QTest::mouseClick(Command1(), Qt::LeftButton);
        QCOMPARE(txtMAC()->text(), "");
        QCOMPARE(boxes.seen.size(), 1u);
    }

    void takesNoInputWhileWaiting() {
        MessageBoxWatcher boxes;
        txtIp()->setText("192.0.2.2");
        request_->Hold();
        bool checked = false;
        QTimer::singleShot(0, this, [&] {
            CheckWhileWaiting(boxes);
            checked = true;
            request_->Release();
        });

        QTest::mouseClick(Command1(), Qt::LeftButton);

        QVERIFY(checked);
        QCOMPARE(int(request_->CallCount()), 1);
        QCOMPARE(txtMAC()->text(), "00:1A:2B:3C:4D:5E");
        QVERIFY(boxes.seen.empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // Nothing thrown away during the wait turns up now, and input is back.
        QTest::qWait(20);
        QCOMPARE(int(request_->CallCount()), 1);
        QTest::mouseClick(Command1(), Qt::LeftButton);
        QCOMPARE(int(request_->CallCount()), 2);
    }
};

QTEST_MAIN(GetCommandTest)
#include "get_command_test.moc"
