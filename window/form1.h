#pragma once

#include <QWidget>

#include "lookup/arp_request.h"

class QLabel;
class QPushButton;

namespace varnock {

class FlatBorderLabel;
class FlatTextBox;
class FormLine;

// The program's one window: a fixed, borderless face with its own title
// strip, the address and result boxes, the Get button and the maker's and
// awareness pictures. Every control carries its described name as its
// objectName. The window uses the lookup only through `request`, which must
// outlive it.
class Form1 final : public QWidget {
    Q_OBJECT

public:
    explicit Form1(ArpRequest& request, QWidget* parent = nullptr);

private:
    // Builds the window and its controls exactly as described; Form_Load
    // then gives them their start-up values.
    void CreateControls();
    void Form_Load();

    // The Get command.
    void Command1_Click();
    void ShowFailureMessage();

    ArpRequest& request_;

    // The window's own vocabulary: the described names of its controls.
    QLabel* Label1 = nullptr;
    QLabel* imgLogo = nullptr;
    FlatBorderLabel* Label3 = nullptr;
    QLabel* Label2 = nullptr;
    FlatTextBox* txtIp = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label4 = nullptr;
    FlatTextBox* txtMAC = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Picture2 = nullptr;
    QLabel* Label6 = nullptr;
    FormLine* Line1 = nullptr;
    FormLine* Line2 = nullptr;
    FormLine* Line3 = nullptr;
    FormLine* Line4 = nullptr;
};

}  // namespace varnock
