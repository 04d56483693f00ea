// The catalogue of installed components as the registry gives it, read by the Workspace window.
#include "ApplicationWindow.h"
#include "TComponentCatalogue.h"
#include "TestEnvironment.h"

#include <dorvo/winreg.h>

#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace {

LPCWSTR wide(const QString& text) {
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// Every test reads a registry folder of its own, so that what it writes is all there is.
class ScopedRegistryFolder {
public:
    ScopedRegistryFolder() : m_folder(dorvo2test::makeTempDir("catalogue")) {
        const char* previous = std::getenv("DORVO2_REGISTRY_DIR");
        m_previous = previous ? previous : "";
        setenv("DORVO2_REGISTRY_DIR", m_folder.c_str(), 1);
    }
    ~ScopedRegistryFolder() { setenv("DORVO2_REGISTRY_DIR", m_previous.c_str(), 1); }
    const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_previous;
};

HKEY createKey(HKEY root, const QString& path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, wide(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path.toStdString();
    return key;
}

void setText(HKEY key, const QString& name, const QString& text) {
    EXPECT_EQ(RegSetValueExW(key, name.isEmpty() ? nullptr : wide(name), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.utf16()),
                             DWORD((text.size() + 1) * 2)),
              ERROR_SUCCESS);
}

void registerClass(const QString& classId, const QString& description) {
    HKEY key = createKey(HKEY_CLASSES_ROOT, "CLSID\\" + classId);
    setText(key, QString(), description);
    RegCloseKey(key);
}

struct Plugin {
    std::optional<DWORD> kind;
    std::optional<QString> name;
    std::optional<QString> iconUrl;
};

void addPlugin(const QString& subkey, const Plugin& plugin) {
    HKEY key = createKey(HKEY_LOCAL_MACHINE, TComponentCatalogue::kPluginsKey + "\\" + subkey);
    if (plugin.kind)
        RegSetValueExW(key, u"DORVO2_KEY_TYPE", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&*plugin.kind), sizeof(DWORD));
    if (plugin.name)
        setText(key, "DORVO2_KEY_PLUGIN_NAME", *plugin.name);
    if (plugin.iconUrl)
        setText(key, "DORVO2_KEY_ICON_URL", *plugin.iconUrl);
    RegCloseKey(key);
}

void install(const QString& classId, const QString& description, const Plugin& plugin) {
    registerClass(classId, description);
    addPlugin(classId, plugin);
}

QString classText(const CLSID& id) {
    OLECHAR text[39];
    StringFromGUID2(id, text, 39);
    return QString::fromUtf16(text);
}

CLSID classOf(const QString& text) {
    CLSID id{};
    EXPECT_EQ(CLSIDFromString(wide(text), &id), S_OK);
    return id;
}

QStringList namesOf(const QList<TCatalogueEntry>* entries) {
    QStringList names;
    if (entries)
        for (const TCatalogueEntry& entry : *entries)
            names.append(entry.name);
    return names;
}

const QString kSynth = "{0A000000-0000-4000-8000-000000000001}";
const QString kKept = "{0A000000-0000-4000-8000-000000000002}";
const QString kBackground = "{0A000000-0000-4000-8000-000000000003}";
const QString kUnnamed = "{0A000000-0000-4000-8000-000000000004}";
const QString kUnregistered = "{0A000000-0000-4000-8000-000000000005}";
const QString kKindless = "{0A000000-0000-4000-8000-000000000006}";
const QString kHighBit = "{0A000000-0000-4000-8000-000000000007}";

TEST(CatalogueTest, ListsEditorClassesWithTheirValuesAndSkipsEverythingElse) {
    ScopedRegistryFolder registry;
    TComponentCatalogue catalogue;
    EXPECT_EQ(catalogue.entries(), nullptr); // no plug-in key at all

    install(kSynth, "Synth class", {0x2, "Demo Synth", "file:///icons/synth.png"});
    install(kKept, "Kept class", {0x12, "Kept Editor", std::nullopt});
    install(kBackground, "Background class", {0x10, "Background", std::nullopt});
    const QString longDescription = QString("Long description ").repeated(30);
    install(kUnnamed, longDescription, {0x2, std::nullopt, std::nullopt});
    addPlugin(kUnregistered, {0x2, "Not Registered", std::nullopt});
    install(kKindless, "Kindless class", {std::nullopt, "Kindless", std::nullopt});
    install(kHighBit, "High class", {0x4000, "High Bit", std::nullopt});
    // A subkey that is no class identifier, although a class key of that name exists.
    install("not-a-class", "Impostor", {0x2, "Impostor", std::nullopt});
    // A name that is not text falls back to the description.
    HKEY synth = createKey(HKEY_LOCAL_MACHINE, TComponentCatalogue::kPluginsKey + "\\" + kUnnamed);
    const DWORD number = 7;
    RegSetValueExW(synth, u"DORVO2_KEY_PLUGIN_NAME", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(synth);

    EXPECT_EQ(catalogue.entries(), nullptr) << "an empty catalogue is kept like a full one";
    catalogue.forget();
    const QList<TCatalogueEntry>* entries = catalogue.entries();
    ASSERT_NE(entries, nullptr);
    // Registry order, which is name order.
    EXPECT_EQ(namesOf(entries),
              (QStringList{"Demo Synth", "Kept Editor", longDescription, "High Bit"}));
    const TCatalogueEntry& first = (*entries)[0];
    EXPECT_EQ(first.kind, 0x2u);
    EXPECT_EQ(first.iconUrl, "file:///icons/synth.png");
    EXPECT_EQ(classText(first.classId), kSynth);
    EXPECT_EQ((*entries)[1].kind, 0x12u); // listed, and the window-keeping bit stays
    EXPECT_TRUE((*entries)[1].iconUrl.isEmpty());
    EXPECT_EQ((*entries)[3].kind, 0x4000u);

    const std::optional<TCatalogueEntry> background =
        TComponentCatalogue::readEntry(kBackground, TComponentCatalogue::kPluginsKey);
    ASSERT_TRUE(background); // read, but not an editor
    EXPECT_EQ(background->kind, 0x10u);
    EXPECT_FALSE(TComponentCatalogue::readEntry(kUnregistered, TComponentCatalogue::kPluginsKey));
    EXPECT_FALSE(TComponentCatalogue::readEntry("not-a-class", TComponentCatalogue::kPluginsKey));
    // Without its plug-in key a registered class gives an entry of kind 0.
    const std::optional<TCatalogueEntry> elsewhere =
        TComponentCatalogue::readEntry(kSynth, "Software\\Nowhere");
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(elsewhere->kind, 0u);
    EXPECT_TRUE(IsEqualGUID(elsewhere->classId, classOf(kSynth)));
}

TEST(CatalogueTest, IsReadOnceUntilTheWindowForgetsIt) {
    ScopedRegistryFolder registry;
    install(kSynth, "Synth class", {0x2, "Demo Synth", std::nullopt});
    ApplicationWindow window;
    const QList<TCatalogueEntry>* first = window.catalogue();
    EXPECT_EQ(namesOf(first), QStringList{"Demo Synth"});

    install(kKept, "Kept class", {0x12, "Kept Editor", std::nullopt});
    EXPECT_EQ(window.catalogue(), first); // the cached list
    EXPECT_EQ(namesOf(window.catalogue()), QStringList{"Demo Synth"});
    EXPECT_EQ(window.findCatalogueEntry(classOf(kKept)), nullptr);

    window.aboutToQuit(); // the application's last turn forgets it
    EXPECT_EQ(namesOf(window.catalogue()), (QStringList{"Demo Synth", "Kept Editor"}));
    const TCatalogueEntry* kept = window.findCatalogueEntry(classOf(kKept));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->name, "Kept Editor");
}

TEST(CatalogueTest, TwinSubkeysOfOneClassGiveTwoEntriesAndLookupFindsTheFirst) {
    ScopedRegistryFolder registry;
    // The registry functions never make names that differ only in case; an edited file can.
    QFile hive(QString::fromStdString(registry.folder()) + "/machine.reg");
    ASSERT_TRUE(hive.open(QIODevice::WriteOnly));
    hive.write("[Software\\Classes\\CLSID\\{0a000000-0000-4000-8000-00000000000b}]\n"
               "@=\"Twin class\"\n"
               "\n"
               "[Software\\Quenor\\Dorvo2\\Plugins\\{0a000000-0000-4000-8000-00000000000b}]\n"
               "\"DORVO2_KEY_TYPE\"=dword:00000002\n"
               "\"DORVO2_KEY_PLUGIN_NAME\"=\"Lower Twin\"\n"
               "\n"
               "[Software\\Quenor\\Dorvo2\\Plugins\\{0A000000-0000-4000-8000-00000000000B}]\n"
               "\"DORVO2_KEY_TYPE\"=dword:00000002\n"
               "\"DORVO2_KEY_PLUGIN_NAME\"=\"Upper Twin\"\n");
    hive.close();

    TComponentCatalogue catalogue;
    const QList<TCatalogueEntry>* entries = catalogue.entries();
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->size(), 2);
    EXPECT_TRUE(IsEqualGUID((*entries)[0].classId, (*entries)[1].classId));
    EXPECT_NE((*entries)[0].name, (*entries)[1].name);
    const TCatalogueEntry* found =
        catalogue.find(classOf("{0A000000-0000-4000-8000-00000000000B}"));
    EXPECT_EQ(found, &entries->first());
}

} // namespace
