#include "RegistryKey.h"

#include <algorithm>

namespace dorvo::registry {

int compareKeyNames(QStringView a, QStringView b) {
    const int withoutCase = a.compare(b, Qt::CaseInsensitive);
    return withoutCase != 0 ? withoutCase : a.compare(b, Qt::CaseSensitive);
}

bool sameRegistryName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

RegistryKey::RegistryKey(QString name) : m_name(std::move(name)) {}

RegistryKey::Subkeys::const_iterator RegistryKey::firstWithoutCase(QStringView name) const {
    return std::lower_bound(m_subkeys.begin(), m_subkeys.end(), name,
                            [](const std::unique_ptr<RegistryKey>& key, QStringView wanted) {
                                return key->m_name.compare(wanted, Qt::CaseInsensitive) < 0;
                            });
}

const RegistryKey* RegistryKey::findSubkey(QStringView name) const {
    const auto first = firstWithoutCase(name);
    for (auto it = first; it != m_subkeys.end() && sameRegistryName((*it)->m_name, name); ++it) {
        if ((*it)->m_name == name)
            return it->get();
    }
    if (first != m_subkeys.end() && sameRegistryName((*first)->m_name, name))
        return first->get();
    return nullptr;
}

RegistryKey* RegistryKey::findSubkey(QStringView name) {
    return const_cast<RegistryKey*>(std::as_const(*this).findSubkey(name));
}

RegistryKey* RegistryKey::findExactSubkey(QStringView name) {
    for (auto it = firstWithoutCase(name);
         it != m_subkeys.end() && sameRegistryName((*it)->m_name, name); ++it) {
        if ((*it)->m_name == name)
            return it->get();
    }
    return nullptr;
}

RegistryKey& RegistryKey::addSubkey(const QString& name) {
    const auto position =
        std::upper_bound(m_subkeys.begin(), m_subkeys.end(), name,
                         [](const QString& wanted, const std::unique_ptr<RegistryKey>& key) {
                             return compareKeyNames(wanted, key->m_name) < 0;
                         });
    return **m_subkeys.insert(position, std::make_unique<RegistryKey>(name));
}

void RegistryKey::removeSubkey(const RegistryKey& subkey) {
    std::erase_if(m_subkeys,
                  [&](const std::unique_ptr<RegistryKey>& key) { return key.get() == &subkey; });
}

int RegistryKey::findValueIndex(QStringView name) const {
    int firstWithoutCase = -1;
    for (size_t i = 0; i < m_values.size(); ++i) {
        if (m_values[i].name == name)
            return int(i);
        if (firstWithoutCase < 0 && sameRegistryName(m_values[i].name, name))
            firstWithoutCase = int(i);
    }
    return firstWithoutCase;
}

const RegistryValue* RegistryKey::findValue(QStringView name) const {
    const int index = findValueIndex(name);
    return index < 0 ? nullptr : &m_values[size_t(index)];
}

bool RegistryKey::setValue(const QString& name, DWORD type, const QByteArray& data) {
    const int index = findValueIndex(name);
    if (index < 0) {
        m_values.push_back({name, type, data});
        return true;
    }
    RegistryValue& value = m_values[size_t(index)];
    if (value.type == type && value.data == data)
        return false;
    value.type = type;
    value.data = data;
    return true;
}

void RegistryKey::setExactValue(const QString& name, DWORD type, const QByteArray& data) {
    for (RegistryValue& value : m_values) {
        if (value.name == name) {
            value.type = type;
            value.data = data;
            return;
        }
    }
    m_values.push_back({name, type, data});
}

bool RegistryKey::removeValue(QStringView name) {
    const int index = findValueIndex(name);
    if (index < 0)
        return false;
    m_values.erase(m_values.begin() + index);
    return true;
}

bool RegistryKey::operator==(const RegistryKey& other) const {
    return m_name == other.m_name && m_values == other.m_values &&
           std::equal(m_subkeys.begin(), m_subkeys.end(), other.m_subkeys.begin(),
                      other.m_subkeys.end(), [](const auto& a, const auto& b) { return *a == *b; });
}

} // namespace dorvo::registry
