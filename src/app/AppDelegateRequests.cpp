#include "AppDelegate.h"

#include "PortalRequests.h"

using namespace vk;

void AppDelegate::checkserver()
{
    m_portal->checkServer([this](qint32 value) { sonline = value; });
}

void AppDelegate::checkuser()
{
    m_portal->checkUser(user_global, [this](const QString &answer) { parselogindata(answer); });
}

void AppDelegate::checkbooks()
{
    m_portal->checkBooks(company_global, category_global,
                         [this](const QString &answer) { parsebookdata(answer); });
}

void AppDelegate::pdfstatusupdate(const QString &status)
{
    m_portal->updateStatus(user_global, status);
}
