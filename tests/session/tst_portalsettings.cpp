#include "PortalSettings.h"

#include <QTest>

using namespace vk;

class TestPortalSettings : public QObject
{
    Q_OBJECT

private slots:
    // A shell leaves an unset override empty: that must not make the portal "https://".
    void emptyHostOverrideKeepsTheBuildDefault()
    {
        qputenv("VELKARN_PORTAL_HOST", "");
        QCOMPARE(PortalSettings::baseUrl(), QStringLiteral("https://" VELKARN_DEFAULT_PORTAL_HOST));
        qputenv("VELKARN_PORTAL_HOST", "portal.example:8443");
        QCOMPARE(PortalSettings::baseUrl(), QStringLiteral("https://portal.example:8443"));
        qunsetenv("VELKARN_PORTAL_HOST");
    }
};

QTEST_APPLESS_MAIN(TestPortalSettings)
#include "tst_portalsettings.moc"
