#pragma once

// Closes every modal message box as soon as it shows, after noting what it
// said, so that a test never blocks on one.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <vector>

struct SeenMessageBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons standardButtons;
    qsizetype buttonCount = 0;
    Qt::WindowModality modality = Qt::NonModal;
};

class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { CloseActiveBox(); });
        timer_.start();
    }

    std::vector<SeenMessageBox> seen;

private:
    void CloseActiveBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        seen.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                        box->buttons().size(), box->windowModality()});
        box->buttons().constFirst()->click();
    }

    QTimer timer_;
};
