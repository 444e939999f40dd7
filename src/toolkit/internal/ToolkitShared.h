// SPDX-License-Identifier: Apache-2.0
#pragma once
// The shared dialog instances behind the shortcut routines. They are
// promised when the QApplication is made, built on first use (widgets made
// while the application object is still being constructed get no style or
// palette, and show black), and freed when the event loop ends, while the
// application can still destroy windows cleanly.
namespace ostrel {

class TZQXEnterDataDialog;
class TZQXPopupDialog;
class TZQXPrintDialog;

class SharedDialogs {
public:
    TZQXPopupDialog* popup();
    TZQXEnterDataDialog* enterData();

    // Both dialogs are built when first asked for.
    void promise();

    void createPopup();
    void freePopup();
    void createEnterData();
    void freeEnterData();

    // The print window behind PrintBitmapShared, built when first asked for.
    TZQXPrintDialog* print();
    void freePrint();

private:
    // Plain pointers on purpose: a dialog still alive at exit must not be
    // destroyed by static destruction after the application is gone.
    TZQXPopupDialog* m_popup = nullptr;
    TZQXEnterDataDialog* m_enterData = nullptr;
    TZQXPrintDialog* m_print = nullptr;
    bool m_popupPromised = false;
    bool m_enterDataPromised = false;
};

SharedDialogs& sharedDialogs();

} // namespace ostrel
