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

    QString password() const;

    QLineEdit* Edit_Password = nullptr;
    TZQXZoomBitBtn* ZQXZoomBitBtn1 = nullptr; // OK
    TZQXZoomBitBtn* ZQXZoomBitBtn2 = nullptr; // Cancel

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace ostrel
