// The maker link: Module1's OpenDocument against an injected URL handler
// (and without one), and the click on Picture1. Offscreen only, so that no
// browser can ever be started from here.

#include <QDesktopServices>
#include <QGuiApplication>
#include <QTest>
#include <QUrl>
#include <memory>
#include <optional>
#include <string>

#include "form_controls.h"
#include "message_box_watcher.h"
#include "tests/support/scripted_neighbours.h"
#include "window/module1.h"
#include "window/qt/form1.h"

namespace {

const char* const kMakerWebPage = "https://www.orbelund.example";

}  // namespace

class MakerLinkTest : public QObject {
    Q_OBJECT

private:
    void ClickPicture1() {
        QWidget* picture1 = form_->findChild<QWidget*>("Picture1");
        QTest::mouseClick(picture1, Qt::LeftButton, {}, picture1->rect().center());
    }
    void HandleHttps() { QDesktopServices::setUrlHandler("https", &recorder_, "open"); }

    UrlRecorder recorder_;
    varnock::testing::ScriptedNeighbours request_;
    std::unique_ptr<varnock::Form1> form_;

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), "offscreen"); }
    void init() {
        recorder_.opened.clear();
        form_ = std::make_unique<varnock::Form1>(request_);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() {
        QDesktopServices::unsetUrlHandler("https");
        form_.reset();
    }

    void openDocumentHandsOnTheAddress() {
        HandleHttps();
        std::string file = kMakerWebPage;
        std::optional<std::string> parameters;
        const std::int32_t showCommand = varnock::Module1::kShowMaximized;
        QVERIFY(varnock::Module1::OpenDocument(file, parameters, showCommand));
        QCOMPARE(recorder_.opened.size(), 1);
        QCOMPARE(recorder_.opened.front().toString(), kMakerWebPage);
        QCOMPARE(recorder_.opened.front(), QUrl(kMakerWebPage));
        // The caller's texts come back as they went in.
        QCOMPARE(file, kMakerWebPage);
        QVERIFY(!parameters.has_value());
        QCOMPARE(showCommand, 3);
    }

    void openDocumentWithoutBrowserFails() {
        // The offscreen platform opens nothing.
        std::string file = kMakerWebPage;
        std::optional<std::string> parameters = std::string();
        const std::int32_t showCommand = 3;
        QVERIFY(!varnock::Module1::OpenDocument(file, parameters, showCommand));
        QCOMPARE(file, kMakerWebPage);
        QCOMPARE(parameters, std::optional<std::string>(std::string()));
    }

    void clickOpensTheMakersPage() {
        HandleHttps();
        MessageBoxWatcher boxes;
        ClickPicture1();
        QCOMPARE(recorder_.opened, QList<QUrl>{QUrl(kMakerWebPage)});
        // Every click is a request of its own.
        ClickPicture1();
        ClickPicture1();
        QCOMPARE(recorder_.opened.size(), 3);
        for (const QUrl& url : recorder_.opened) {
            QCOMPARE(url.toString(), kMakerWebPage);
        }
        QTest::qWait(20);
        QVERIFY(boxes.seen.empty());
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);
    }

    void clickWithoutBrowserShowsNothing() {
        MessageBoxWatcher boxes;
        ClickPicture1();
        QTest::qWait(20);
        QVERIFY(boxes.seen.empty());
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);
        QVERIFY(form_->isVisible());
    }

    void onlyAClickOnPicture1Opens() {
        HandleHttps();
        QWidget* picture1 = form_->findChild<QWidget*>("Picture1");
        // A press here that ends elsewhere, a right button, and a click on
        // the other picture are no clicks on the link.
        QTest::mousePress(picture1, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(picture1, Qt::LeftButton, {}, QPoint(-30, 5));
        QTest::mouseClick(picture1, Qt::RightButton);
        QTest::mouseClick(form_->findChild<QWidget*>("Picture2"), Qt::LeftButton);
        QTest::mouseClick(form_->findChild<QWidget*>("Label5"), Qt::LeftButton);
        QVERIFY(recorder_.opened.isEmpty());
    }
};

QTEST_MAIN(MakerLinkTest)
#include "maker_link_test.moc"
