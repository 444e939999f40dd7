// SPDX-License-Identifier: Apache-2.0
#include "ToolkitShared.h"

#include "toolkit/ZQXEnterDataDialog.h"
#include "toolkit/ZQXPopupDialog.h"
#include "toolkit/ZQXPrintDialog.h"

#include <QApplication>

namespace ostrel {

namespace {

void freeAll()
{
    sharedDialogs().freePrint();
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
    sharedDialogs().promise();
    QObject::connect(app, &QCoreApplication::aboutToQuit, app, &freeAll);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(createSharedDialogs)

SharedDialogs& sharedDialogs()
{
    static SharedDialogs dialogs;
    return dialogs;
}

void SharedDialogs::promise()
{
    m_popupPromised = true;
    m_enterDataPromised = true;
}

TZQXPopupDialog* SharedDialogs::popup()
{
    if (m_popupPromised)
        createPopup();
    return m_popup;
}

TZQXEnterDataDialog* SharedDialogs::enterData()
{
    if (m_enterDataPromised)
        createEnterData();
    return m_enterData;
}

void SharedDialogs::createPopup()
{
    m_popupPromised = false;
    if (!m_popup)
        m_popup = new TZQXPopupDialog;
}

void SharedDialogs::freePopup()
{
    m_popupPromised = false;
    delete m_popup;
    m_popup = nullptr;
}

void SharedDialogs::createEnterData()
{
    m_enterDataPromised = false;
    if (!m_enterData)
        m_enterData = new TZQXEnterDataDialog;
}

void SharedDialogs::freeEnterData()
{
    m_enterDataPromised = false;
    delete m_enterData;
    m_enterData = nullptr;
}

TZQXPrintDialog* SharedDialogs::print()
{
    if (!m_print)
        m_print = new TZQXPrintDialog;
    return m_print;
}

void SharedDialogs::freePrint()
{
    delete m_print;
    m_print = nullptr;
}

} // namespace ostrel
