// One key of a hive held in memory: its name, its subkeys and its values.
#pragma once

#include <dorvo/winreg.h>

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace dorvo::registry {

struct RegistryValue {
    QString name; // empty for the key's default value
    DWORD type = REG_NONE;
    QByteArray data;

    bool operator==(const RegistryValue&) const = default;
};

// The order in which subkeys are enumerated: without regard to case, and names that differ only
// in case (possible in a hand-edited hive) by their code units, so that the order is total.
int compareKeyNames(QStringView a, QStringView b);

// True when two key or value names are the same name to the registry (case does not matter).
bool sameRegistryName(QStringView a, QStringView b);

class RegistryKey {
public:
    explicit RegistryKey(QString name = QString());
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    const QString& name() const { return m_name; }

    size_t subkeyCount() const { return m_subkeys.size(); }
    const RegistryKey& subkeyAt(size_t index) const { return *m_subkeys[index]; }

    // The subkey of that name; when a hand-edited hive holds names that differ only in case,
    // the one spelt exactly so wins, else the first in enumeration order.
    const RegistryKey* findSubkey(QStringView name) const;
    RegistryKey* findSubkey(QStringView name);
    // Only the subkey spelt exactly so; the parser keeps keys that differ in case apart.
    RegistryKey* findExactSubkey(QStringView name);
    RegistryKey& addSubkey(const QString& name);
    void removeSubkey(const RegistryKey& subkey);

    // Values in the order in which they were first set.
    const std::vector<RegistryValue>& values() const { return m_values; }
    // Same rule as findSubkey: the exact spelling wins, else the first match without case.
    const RegistryValue* findValue(QStringView name) const;
    // Replaces the value found by findValue, which keeps its spelling; else adds one.
    // Returns false when the value already held exactly this.
    bool setValue(const QString& name, DWORD type, const QByteArray& data);
    // Replaces only the value spelt exactly so; a later line of a hive file wins.
    void setExactValue(const QString& name, DWORD type, const QByteArray& data);
    bool removeValue(QStringView name);

    bool operator==(const RegistryKey& other) const;

private:
    using Subkeys = std::vector<std::unique_ptr<RegistryKey>>;
    Subkeys::const_iterator firstWithoutCase(QStringView name) const;
    int findValueIndex(QStringView name) const;

    QString m_name;
    Subkeys m_subkeys; // sorted by compareKeyNames
    std::vector<RegistryValue> m_values;
};

} // namespace dorvo::registry
