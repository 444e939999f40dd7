#include "toolkit/ToolkitShared.h"

#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"

#include <QApplication>

namespace ostrel {

namespace {

void freeAll()
{
    sharedDialogs().freeEnterData();
    sharedDialogs().freePopup();
}

// Runs when the application object is made, as the units' initialisation
// did; only a widget application can hold dialogs.
void createSharedDialogs()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    sharedDialogs().createPopup();
    sharedDialogs().createEnterData();
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, &freeAll);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(createSharedDialogs)

SharedDialogs& sharedDialogs()
{
    static SharedDialogs dialogs;
    return dialogs;
}

void SharedDialogs::createPopup()
{
    if (!m_popup)
        m_popup = new TZQXPopupDialog;
}

void SharedDialogs::freePopup()
{
    delete m_popup;
    m_popup = nullptr;
}

void SharedDialogs::createEnterData()
{
    if (!m_enterData)
        m_enterData = new TZQXEnterDataDialog;
}

void SharedDialogs::freeEnterData()
{
    delete m_enterData;
    m_enterData = nullptr;
}

} // namespace ostrel
