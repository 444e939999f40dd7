// SPDX-License-Identifier: Apache-2.0
#pragma once
// Every modal exchange the main window has with the user goes through this
// interface, so the commands can be driven without real modal dialogs.
#include <QImage>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace ostrel {

class TForm_Password;
class TForm_About;

class ShellDialogs {
public:
    virtual ~ShellDialogs() = default;

    // The chosen file name, or empty when the dialog was cancelled. `filter`
    // is in the program's "Label|patterns" form.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter) = 0;

    // The typed password, or nothing when the dialog was not confirmed with OK.
    virtual std::optional<QString> password(QWidget* parent) = 0;

    // The shared message dialog: a report, an error, a yes/no question.
    virtual void showMessage(const QString& text, bool printAllowed, const QString& title) = 0;
    virtual void showError(const QString& text) = 0;
    virtual bool askYesNo(const QString& text) = 0;

    // The web address to fetch, offered with `lastUrl`; nothing when cancelled.
    virtual std::optional<QString> webAddress(const QString& lastUrl) = 0;

    virtual void showAbout(QWidget* parent) = 0;

    // The print window on the picture, titled with `title`.
    virtual void printPicture(const QImage& picture, const QString& title) = 0;
};

// The program's real dialogs: file dialogs, the password dialog, the about
// window and the toolkit's shared message and entry dialogs.
class StandardShellDialogs : public ShellDialogs {
public:
    StandardShellDialogs();
    ~StandardShellDialogs() override;

    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter) override;
    std::optional<QString> password(QWidget* parent) override;
    void showMessage(const QString& text, bool printAllowed, const QString& title) override;
    void showError(const QString& text) override;
    bool askYesNo(const QString& text) override;
    std::optional<QString> webAddress(const QString& lastUrl) override;
    void showAbout(QWidget* parent) override;
    void printPicture(const QImage& picture, const QString& title) override;

private:
    std::unique_ptr<TForm_Password> m_password;
    std::unique_ptr<TForm_About> m_about;
    QString m_lastFolder; // the file dialogs open where the user went last
};

// Prepares the shared message dialog before each report: Courier New 12
// bold, black on the button face, zoom 100, placement reset.
void SetupMessageDialog();

} // namespace ostrel
