// The Get command with the system's own request, inside the namespace lab
// (tests/lab/run-in-lab.sh); skipped anywhere else.

#include <fcntl.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <memory>

#include "message_box_watcher.h"
#include "tests/support/scripted_neighbours.h"
#include "window/qt/form1.h"

namespace {

// While it is set, the request runs with every descriptor the process may
// have already in use, as in a process that has run out of them: it cannot
// open its sockets. `after` puts the limit back on every path.
struct Starvation {
    rlimit saved{};

    void Begin() {
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = 3;
        while (fcntl(static_cast<int>(tight.rlim_cur), F_GETFD) != -1 || errno != EBADF) {
            ++tight.rlim_cur;
        }
        setrlimit(RLIMIT_NOFILE, &tight);
    }
    void End() const { setrlimit(RLIMIT_NOFILE, &saved); }
};

}  // namespace

class GetCommandLabTest : public QObject {
    Q_OBJECT

private:
    // The lab's addresses; nothing here may reach a real network.
    static QString Lab(const char* name) { return qEnvironmentVariable(name); }

    // Runs the command for `address`, with txtMAC holding `before`.
    void Get(const QString& address, const QString& before) {
        form_->findChild<QLineEdit*>("txtIp")->setText(address);
        form_->findChild<QLineEdit*>("txtMAC")->setText(before);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(form_->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        qInfo("%s answered in %lld ms", qPrintable(address), clock.elapsed());
    }
    QString Result() const { return form_->findChild<QLineEdit*>("txtMAC")->text(); }

    std::unique_ptr<varnock::testing::ScriptedNeighbours> request_;
    Starvation starvation_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("VARNOCK_LAB")) {
            QSKIP("needs the namespace lab (VARNOCK_LAB is not set)");
        }
        request_ = std::make_unique<varnock::testing::ScriptedNeighbours>();
        request_->passTo = varnock::MakeSystemArpRequest();
        form_ = std::make_unique<varnock::Form1>(*request_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanupTestCase() { form_.reset(); }

    void liveHost() {
        MessageBoxWatcher boxes;
        Get(Lab("VARNOCK_LAB_LIVE_HOST"), "");
        QCOMPARE(Result(), Lab("VARNOCK_LAB_LIVE_MAC"));
        QVERIFY(boxes.seen.empty());
    }

    void absentHost() {
        MessageBoxWatcher boxes;
        Get(Lab("VARNOCK_LAB_ABSENT_HOST"), "previous result");
        QCOMPARE(Result(), "");
        QCOMPARE(boxes.seen.size(), 1u);
        QCOMPARE(boxes.seen.front().text, "ERROR : Remote MAC Cannot be Harvested");
        QCOMPARE(boxes.seen.front().title, "Orbelund");
    }

    void outOfDescriptorsShowsTheBoxAndKeepsTheResult() {
        {
            MessageBoxWatcher boxes;
            // A request whose engine is not open yet: it needs descriptors.
            request_->passTo = varnock::MakeSystemArpRequest();
            request_->reply.before = [this] { starvation_.Begin(); };
            request_->after = [this] { starvation_.End(); };
            Get(Lab("VARNOCK_LAB_LIVE_HOST"), "previous result");
            request_->reply.before = nullptr;
            request_->after = nullptr;
            QCOMPARE(Result(), "previous result");
            QCOMPARE(boxes.seen.size(), 1u);
            QCOMPARE(boxes.seen.front().text, "ERROR : Remote MAC Cannot be Harvested");
        }
        // Descriptors free again: the command works as before.
        MessageBoxWatcher boxes;
        Get(Lab("VARNOCK_LAB_LIVE_HOST"), "");
        QCOMPARE(Result(), Lab("VARNOCK_LAB_LIVE_MAC"));
        QVERIFY(boxes.seen.empty());
    }
};

int main(int argc, char* argv[]) {
    // The lab runs this as an unprivileged user whose home may not be
    // writable; Qt wants a private runtime directory.
    std::unique_ptr<QTemporaryDir> runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_RUNTIME_DIR", runtimeDir->path().toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    GetCommandLabTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "get_command_lab_test.moc"
