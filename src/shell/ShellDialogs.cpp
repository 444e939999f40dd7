// SPDX-License-Identifier: Apache-2.0
#include "shell/ShellDialogs.h"

#include "shell/AboutUnit.h"
#include "shell/PasswordUnit.h"
#include "shell/ShellTexts.h"
#include "toolkit/WindowStacking.h"
#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXPrintDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QPalette>

namespace ostrel {

namespace {

// Qt's own file dialog, so the filter labels read as the program writes them
// and the dialog looks the same on every desktop.
QString runFileDialog(QWidget* parent, const QString& title, const QString& filter, QFileDialog::AcceptMode mode,
                      QString& lastFolder)
{
    QFileDialog dialog(parent, title, lastFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(qtFileFilters(filter));
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptSave) {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(kDefaultExtension);
        dialog.selectFile(QString());
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    lastFolder = dialog.directory().absolutePath();
    return dialog.selectedFiles().constFirst();
}

} // namespace

void SetupMessageDialog()
{
    PopupSetFont(QStringLiteral("Courier New"), 12, fsBold, Qt::black,
                 QApplication::palette().color(QPalette::Button));
    PopupSetZoom(100);
    PopupResetPlacement();
}

StandardShellDialogs::StandardShellDialogs()
    : m_password(std::make_unique<TForm_Password>())
    , m_about(std::make_unique<TForm_About>())
{
}

StandardShellDialogs::~StandardShellDialogs() = default;

QString StandardShellDialogs::openFileName(QWidget* parent, const QString& title, const QString& filter)
{
    return runFileDialog(parent, title, filter, QFileDialog::AcceptOpen, m_lastFolder);
}

QString StandardShellDialogs::saveFileName(QWidget* parent, const QString& title, const QString& filter)
{
    return runFileDialog(parent, title, filter, QFileDialog::AcceptSave, m_lastFolder);
}

std::optional<QString> StandardShellDialogs::password(QWidget* parent)
{
    if (execInFront(m_password.get(), parent) != QDialog::Accepted)
        return std::nullopt;
    return m_password->takePassword();
}

void StandardShellDialogs::showMessage(const QString& text, bool printAllowed, const QString& title)
{
    SetupMessageDialog();
    PopupShowMessage(text, printAllowed, title);
}

void StandardShellDialogs::showError(const QString& text)
{
    SetupMessageDialog();
    PopupShowError(text);
}

bool StandardShellDialogs::askYesNo(const QString& text)
{
    SetupMessageDialog();
    return PopupAskYesNo(text);
}

std::optional<QString> StandardShellDialogs::webAddress(const QString& lastUrl)
{
    SetupMessageDialog();
    EnterDataSetText(lastUrl);
    if (EnterDataGetText().isEmpty())
        EnterDataSetText(QStringLiteral("http://"));
    if (!EnterDataExecute(edCancel, QStringLiteral("Enter URL of Page to Fetch")))
        return std::nullopt;
    return EnterDataGetText();
}

void StandardShellDialogs::showAbout(QWidget* parent)
{
    execInFront(m_about.get(), parent);
}

void StandardShellDialogs::printPicture(const QImage& picture, const QString& title)
{
    TZQXPrintDialog print;
    print.PrintBitmap(picture, title);
}

} // namespace ostrel
