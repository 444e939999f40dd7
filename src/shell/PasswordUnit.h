// SPDX-License-Identifier: Apache-2.0
#pragma once
// The password dialog shown before every encode and decode. It is made once
// and reused; every showing starts with an empty field.
#include <QDialog>

class QLineEdit;

namespace ostrel {

class TZQXZoomBitBtn;

class TForm_Password : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Password(QWidget* parent = nullptr);

    // The password typed before OK, handed over once: the dialog keeps no
    // copy of it, and its field (with its undo history) is emptied as soon as
    // the dialog closes, so a password does not stay in a hidden window.
    QString takePassword();

    void done(int result) override;

    QLineEdit* Edit_Password = nullptr;
    TZQXZoomBitBtn* ZQXZoomBitBtn1 = nullptr; // OK
    TZQXZoomBitBtn* ZQXZoomBitBtn2 = nullptr; // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString m_taken;
};

} // namespace ostrel
