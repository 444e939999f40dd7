// SPDX-License-Identifier: Apache-2.0
// The password dialog and the about window as real widgets.
#include "shell/AboutUnit.h"
#include "shell/PasswordUnit.h"
#include "toolkit/ToolkitTestSupport.h"
#include "toolkit/ZQXZoomBitBtn.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace ostrel {
namespace {

// Opens the dialog without blocking, lets `act` work on it, and returns how it ended.
template <typename Act>
int runDialog(QDialog& dialog, Act act)
{
    int result = -1;
    QObject::connect(&dialog, &QDialog::finished, &dialog, [&result](int code) { result = code; },
                     Qt::SingleShotConnection);
    dialog.open();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    act();
    QCoreApplication::processEvents();
    return result;
}

TEST(PasswordDialog, EveryShowingStartsEmptyAndOkOrCancelDecide)
{
    TForm_Password dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Enter Password"));
    EXPECT_EQ(dialog.size(), QSize(313, 120));
    EXPECT_EQ(dialog.Edit_Password->echoMode(), QLineEdit::Normal);

    const struct {
        const char* name;
        QString typed;
        std::function<void(TForm_Password&)> finish;
        int result;
    } cases[] = {
        {"Enter", QStringLiteral("secret"), [](TForm_Password& d) { QTest::keyClick(d.Edit_Password, Qt::Key_Return); },
         QDialog::Accepted},
        {"OK button", QStringLiteral("other \u00E9"), [](TForm_Password& d) { QTest::mouseClick(d.ZQXZoomBitBtn1, Qt::LeftButton); },
         QDialog::Accepted},
        // An empty password is allowed.
        {"empty", QString(), [](TForm_Password& d) { QTest::mouseClick(d.ZQXZoomBitBtn1, Qt::LeftButton); },
         QDialog::Accepted},
        {"Escape", QStringLiteral("abc"), [](TForm_Password& d) { QTest::keyClick(d.Edit_Password, Qt::Key_Escape); },
         QDialog::Rejected},
        {"Cancel button", QStringLiteral("abc"),
         [](TForm_Password& d) { QTest::mouseClick(d.ZQXZoomBitBtn2, Qt::LeftButton); }, QDialog::Rejected},
        // Enter presses the button the user tabbed to, not the default one.
        {"Enter on Cancel", QStringLiteral("abc"),
         [](TForm_Password& d) { testing::pressKeyWithFocusOn(d.ZQXZoomBitBtn2); }, QDialog::Rejected},
    };
    for (const auto& c : cases) {
        const int result = runDialog(dialog, [&] {
            EXPECT_EQ(dialog.Edit_Password->text(), QString()) << c.name << ": the last password is not offered again";
            EXPECT_TRUE(dialog.Edit_Password->hasFocus()) << c.name;
            dialog.Edit_Password->insert(c.typed);
            c.finish(dialog);
        });
        EXPECT_EQ(result, c.result) << c.name;
        // Closed, the dialog holds no password: the field is empty, undo
        // cannot bring it back, and it is handed over once.
        EXPECT_EQ(dialog.Edit_Password->text(), QString()) << c.name;
        EXPECT_FALSE(dialog.Edit_Password->isUndoAvailable()) << c.name;
        EXPECT_EQ(dialog.takePassword(), c.result == QDialog::Accepted ? c.typed : QString()) << c.name;
        EXPECT_EQ(dialog.takePassword(), QString()) << c.name;
    }
}

TEST(AboutWindow, HelpTextCoversItsSectionsInOrder)
{
    TForm_About about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Ostrel Program V1.3"));
    EXPECT_EQ(about.size(), QSize(392, 246));
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_TRUE(about.Memo1->isReadOnly());

    const QString text = about.Memo1->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Ostrel Program\n")));
    const char* inOrder[] = {"steganography", "plain sight", "encrypted", "WARNING", "ENCODING\n", "128",
                             "4-bit",         "DECODING\n",  "same password", "STEGANOGRAPHY", "OPTIONS\n",
                             "clipboard",     "Open from Web", "VERSIONS\n", "1.0", "1.1", "1.2", "1.3"};
    qsizetype at = 0;
    for (const char* piece : inOrder) {
        const qsizetype found = text.indexOf(QString::fromUtf8(piece), at);
        EXPECT_GE(found, at) << piece << " missing or out of order";
        if (found >= 0)
            at = found;
    }

    ASSERT_NE(about.Image1->pixmap().toImage().isNull(), true);
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(70, 59));
    EXPECT_EQ(about.Image2->geometry(), QRect(11, 75, 64, 64));
    EXPECT_FALSE(about.Label1->text().isEmpty());
    EXPECT_FALSE(about.Label2->text().isEmpty());

    const int result = runDialog(about, [&] { QTest::mouseClick(about.BitBtn1, Qt::LeftButton); });
    EXPECT_EQ(result, QDialog::Accepted);
}

} // namespace
} // namespace ostrel
