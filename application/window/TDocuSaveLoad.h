// The document side of a window: its modified and named marks, its file name and the document
// types it reads and writes. The window that derives from it supplies the contents.
#pragma once

#include <dorvo/wintypes.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QDataStream;
class QWidget;

namespace NS_Utilities {

class TDocuSaveLoad {
public:
    enum Flag : unsigned { Modified = 0x1, Named = 0x2 };

    TDocuSaveLoad() = default;
    virtual ~TDocuSaveLoad();

    TDocuSaveLoad(const TDocuSaveLoad&) = delete;
    TDocuSaveLoad& operator=(const TDocuSaveLoad&) = delete;

    // Caption of message boxes whose parent has none.
    virtual QString defaultCaption() const = 0;
    // Starts a new document.
    virtual void newSession() = 0;
    // (parent, document type index) -> 0, E_ABORT when the user declined, else a failure.
    virtual HRESULT save(QWidget* parent, int index);
    virtual HRESULT load(QWidget* parent, int index);
    virtual HRESULT saveAs(QWidget* parent, int index);
    virtual bool isModified();
    virtual bool isNamed() const;
    // Quiet: no busy state; keep-modified: the modified mark is not cleared. The document
    // base class writes with both false.
    virtual HRESULT saveToStream(QDataStream& stream, bool quiet, bool keepModified) = 0;
    virtual HRESULT loadFromStream(QDataStream& stream, bool quiet) = 0;
    virtual void eraseCurrentDocument() = 0;
    // A file name chosen by the user or read from: clears modified, sets named.
    virtual void setDocumentName(const QString& name) = 0;
    virtual QString applicationName() const = 0;

    void setModified(bool modified) { setFlag(Modified, modified); }
    void setNamed(bool named) { setFlag(Named, named); }
    const QString& documentName() const { return m_documentName; }

    // GUI thread, before the document is replaced or closed: 0 to go on (nothing to save, the
    // user said No, or the save succeeded), E_ABORT when the user cancelled or a popup menu
    // would not close, or the failure of the save.
    HRESULT askToSaveChanges(QWidget* parent);

    // Registers a document type: extension with its dot (".XDW") and description.
    void addDocumentType(const QString& extension, const QString& description);
    const QStringList& extensions() const { return m_extensions; }
    const QStringList& descriptions() const { return m_descriptions; }

    // "description( *extension)" per type, joined with ";;".
    QString filterText() const;
    // Gives the name the extension of the first type the filter names (the first type when it
    // names none) in place of its own, and answers that type's index. A name that already ends
    // in that extension, in any case, keeps it: the file system tells the cases apart.
    int fixExtension(QString& name, const QString& filter) const;
    // The user's documents folder, else the home folder.
    static QString documentsFolder();

protected:
    void setFlag(Flag flag, bool on) { m_flags = on ? (m_flags | flag) : (m_flags & ~flag); }
    void setDocumentNameOnly(const QString& name) { m_documentName = name; }

    // The caption of parent's window, or defaultCaption() when that is empty.
    QString messageCaption(QWidget* parent) const;

private:
    // False when the user declined to overwrite an existing file.
    bool confirmOverwrite(QWidget* parent, const QString& name);
    // The name to save under for a document without one; empty when the user cancelled.
    QString askSaveName(QWidget* parent);
    // The document's result, or nothing when the file could not be written (the user was told
    // and the old file is as it was).
    std::optional<HRESULT> writeDocument(QWidget* parent, const QString& name);
    void showCritical(QWidget* parent, const QString& text);

    unsigned m_flags = 0;
    QString m_documentName;
    QString m_selectedFilter;
    QStringList m_extensions;
    QStringList m_descriptions;
};

} // namespace NS_Utilities

// A window that is a document answers qt_metacast("NS_Utilities::TDocuSaveLoad").
Q_DECLARE_INTERFACE(NS_Utilities::TDocuSaveLoad, "NS_Utilities::TDocuSaveLoad")
