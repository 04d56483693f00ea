// The catalogue of installed editor components: one key per component class under the host's
// plug-in key in the machine's registry, with the class's kind, the name shown to the user and
// its icon. The Workspace window owns one catalogue and reads the registry on first use only.
#pragma once

#include <dorvo/wintypes.h>

#include <QList>
#include <QString>
#include <memory>
#include <optional>

// One installed component class; wrappers and list items keep copies of their own.
struct TCatalogueEntry {
    DWORD kind = 0;
    QString name;
    QString iconUrl;
    CLSID classId{};
};

class TComponentCatalogue {
public:
    // Any of these kind bits makes a class an editor component.
    static constexpr DWORD kEditorKinds = 0x7002;
    // The editor window stays alive, hidden, when the user closes it.
    static constexpr DWORD kKeepEditorWindow = 0x10;
    // Below HKEY_LOCAL_MACHINE.
    static const QString kPluginsKey;

    // GUI thread: the entries in registry order, read on the first call after construction or
    // forget(); null when nothing qualifies (callers treat that as an empty catalogue).
    const QList<TCatalogueEntry>* entries();
    // The next entries() reads the registry again.
    void forget();
    // The first entry of the class, in registry order; null when there is none.
    const TCatalogueEntry* find(const CLSID& classId);

    // One subkey of the plug-in key (its name is the class identifier in braces); nothing when
    // the class is not registered or the name is not a class identifier. An entry whose
    // plug-in key cannot be opened has kind 0.
    static std::optional<TCatalogueEntry> readEntry(const QString& subkeyName,
                                                    const QString& pluginsKeyPath);

private:
    static std::unique_ptr<QList<TCatalogueEntry>> readCatalogue();

    std::unique_ptr<QList<TCatalogueEntry>> m_entries;
    bool m_read = false; // an empty catalogue is null, and read as well
};
