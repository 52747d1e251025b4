#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

namespace vk {

// The process's user defaults. This platform keeps them in memory only: the one
// value the viewer writes at launch has no meaning here, and nothing is saved.
class UserDefaults
{
public:
    static UserDefaults &standard();

    void setBool(const QString &key, bool value);
    bool boolForKey(const QString &key) const;
    bool contains(const QString &key) const;

private:
    QHash<QString, QVariant> m_values;
};

} // namespace vk
