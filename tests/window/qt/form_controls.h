#pragma once

// What the window tests share: a control found by its described name, and
// a stand-in for the desktop's browser.

#include <QList>
#include <QObject>
#include <QUrl>
#include <QWidget>

// The control named `name` in `form`; a test cannot go on without it.
template <typename Control = QWidget>
Control* FindControl(const QWidget& form, const QString& name) {
    auto* control = form.findChild<Control*>(name);
    if (control == nullptr) {
        qFatal("no control %s", qPrintable(name));
    }
    return control;
}

// Stands in for the desktop's browser: notes every URL it is asked to open.
class UrlRecorder final : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};
