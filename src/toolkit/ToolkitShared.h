#pragma once
// The shared dialog instances behind the shortcut routines. They come into
// being when the QApplication is made and are freed when its event loop
// ends, while the application can still destroy windows cleanly.
namespace ostrel {

class TZQXEnterDataDialog;
class TZQXPopupDialog;

class SharedDialogs {
public:
    TZQXPopupDialog* popup() const { return m_popup; }
    TZQXEnterDataDialog* enterData() const { return m_enterData; }

    void createPopup();
    void freePopup();
    void createEnterData();
    void freeEnterData();

private:
    // Plain pointers on purpose: a dialog still alive at exit must not be
    // destroyed by static destruction after the application is gone.
    TZQXPopupDialog* m_popup = nullptr;
    TZQXEnterDataDialog* m_enterData = nullptr;
};

SharedDialogs& sharedDialogs();

} // namespace ostrel
