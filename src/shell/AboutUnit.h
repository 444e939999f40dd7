// SPDX-License-Identifier: Apache-2.0
#pragma once
// The about window: two pictures, the help text that doubles as the user's
// manual, two notice lines and an OK button.
#include <QDialog>

class QLabel;
class QPlainTextEdit;

namespace ostrel {

class TZQXZoomBitBtn;

// The help text shown in the about window.
QString aboutHelpText();

class TForm_About : public QDialog {
    Q_OBJECT
public:
    explicit TForm_About(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TZQXZoomBitBtn* BitBtn1 = nullptr;
};

} // namespace ostrel
