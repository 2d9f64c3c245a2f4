// What a screen reader learns of the window: each control's role, name and
// description, with accessibility active as on a desktop that has a reader
// (Qt then creates a control's accessible object as soon as it changes).

#include <QAccessible>
#include <QDesktopServices>
#include <QTest>
#include <memory>

#include "form_controls.h"
#include "tests/support/scripted_neighbours.h"
#include "window/qt/form1.h"

class AccessibilityTest : public QObject {
    Q_OBJECT

private:
    QAccessibleInterface* Accessible(const QString& name) {
        return QAccessible::queryAccessibleInterface(FindControl(*form_, name));
    }

    varnock::testing::ScriptedNeighbours request_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void init() {
        QAccessible::setActive(true);
        form_ = std::make_unique<varnock::Form1>(request_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void controls_data() {
        QTest::addColumn<QAccessible::Role>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("txtIp") << QAccessible::EditableText << "Remote Ip Address"
                               << "";
        QTest::newRow("txtMAC") << QAccessible::EditableText << "Remote MAC Address"
                                << "";
        QTest::newRow("Command1") << QAccessible::Button << "Get"
                                  << "";
        QTest::newRow("Picture1") << QAccessible::Link << "Orbelund website"
                                  << "Visit Developer's Website";
        QTest::newRow("Label3") << QAccessible::Button << "Close"
                                << "";
        QTest::newRow("Picture2") << QAccessible::Graphic << "Red ribbon"
                                  << "Care For AIDS Victims";
        QTest::newRow("Label1") << QAccessible::StaticText << "Varnock"
                                << "";
        QTest::newRow("Line4") << QAccessible::Separator << ""
                               << "";
    }
    void controls() {
        QFETCH(QAccessible::Role, role);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QAccessibleInterface* accessible = Accessible(QTest::currentDataTag());
        QCOMPARE(accessible->role(), role);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        QCOMPARE(accessible->text(QAccessible::Description), description);
    }

    // A reader's "press" on the link is the click the window reacts to.
    void pressingTheLinkOpensTheMakersSite() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        QAccessibleActionInterface* actions = Accessible("Picture1")->actionInterface();
        QVERIFY(actions != nullptr);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl("https://www.orbelund.example")});
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
