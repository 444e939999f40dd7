// SPDX-License-Identifier: Apache-2.0
#include "shell/PasswordUnit.h"

#include "toolkit/ZQXZoomBitBtn.h"

#include "WindowFonts.h"

#include <QLineEdit>

#include <utility>

namespace ostrel {

namespace {

TZQXZoomBitBtn* dialogButton(QWidget* parent, const QString& caption, Defined_Resource glyph, const QRect& geometry)
{
    auto* button = new TZQXZoomBitBtn(parent);
    button->setFont(boldPixelFont(QStringLiteral("Arial"), 21));
    button->setText(caption);
    button->setResource(glyph);
    button->setBaseFontSize(8);
    button->setZoom(200);
    button->setGeometry(geometry);
    return button;
}

} // namespace

TForm_Password::TForm_Password(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form_Password"));
    setWindowTitle(QStringLiteral("Enter Password"));
    setFont(boldPixelFont(QStringLiteral("MS Sans Serif"), 11));
    setFixedSize(313, 120);

    // The password is shown as typed, as the user expects to check it.
    Edit_Password = new QLineEdit(this);
    Edit_Password->setObjectName(QStringLiteral("Edit_Password"));
    Edit_Password->setGeometry(8, 8, 297, 44);
    Edit_Password->setFont(boldPixelFont(QStringLiteral("Courier New"), 32));
    // The field has no label beside it; the window's title says what it is
    // for, and a screen reader names the field itself.
    Edit_Password->setAccessibleName(QStringLiteral("Password"));

    ZQXZoomBitBtn1 = dialogButton(this, QStringLiteral("OK"), BMP_Check, QRect(8, 64, 145, 49));
    ZQXZoomBitBtn1->setDefault(true);
    connect(ZQXZoomBitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    // Escape rejects a QDialog by itself; the button does the same.
    ZQXZoomBitBtn2 = dialogButton(this, QStringLiteral("Cancel"), BMP_Cancel, QRect(160, 64, 145, 49));
    connect(ZQXZoomBitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(Edit_Password, ZQXZoomBitBtn1);
    setTabOrder(ZQXZoomBitBtn1, ZQXZoomBitBtn2);
}

QString TForm_Password::takePassword()
{
    return std::exchange(m_taken, QString());
}

void TForm_Password::done(int result)
{
    m_taken = result == QDialog::Accepted ? Edit_Password->text() : QString();
    // Setting the text also forgets what undo could bring back.
    Edit_Password->setText(QString());
    QDialog::done(result);
}

void TForm_Password::showEvent(QShowEvent* event)
{
    Edit_Password->clear();
    Edit_Password->setFocus();
    QDialog::showEvent(event);
}

} // namespace ostrel
