#include "UserDefaults.h"

namespace vk {

UserDefaults &UserDefaults::standard()
{
    static UserDefaults defaults;
    return defaults;
}

void UserDefaults::setBool(const QString &key, bool value)
{
    m_values.insert(key, value);
}

bool UserDefaults::boolForKey(const QString &key) const
{
    return m_values.value(key).toBool();
}

bool UserDefaults::contains(const QString &key) const
{
    return m_values.contains(key);
}

} // namespace vk
