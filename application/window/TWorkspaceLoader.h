// Takes a workspace document into the Workspace window: the window's geometry, the Workspace's
// ports (with the re-mapping when ports are missing), the icon view's settings, each component
// created and given its saved state, its editor and Recall settings, and the MIDI Thru
// settings. What went wrong is collected into messages: shown to the user, or kept as the
// window's pending warning text in a quiet load. GUI thread.
#pragma once

#include "TDocumentReader.h"

#include <dorvo/wintypes.h>

#include <QPointer>

class ApplicationWindow;
class CVEXWrapper;
class QDataStream;
class noCancelProgresss;

class TWorkspaceLoader {
public:
    explicit TWorkspaceLoader(ApplicationWindow& window) : m_window(window) {}

    // 0 when the whole document was read (components that are not installed or fail to load
    // their state are reported, not failed); a failure when there is no Workspace to load into,
    // the document is of another version, or it is damaged (the part before the damage is
    // loaded then).
    HRESULT load(QDataStream& stream, bool quiet);
    // The document named on the command line: a name without the document extension, or a
    // file that cannot be read, is refused with a message (E_FAIL); else as load().
    HRESULT loadFile(const QString& path, const QString& extension);

private:
    void report(const QString& text);
    void applyPorts(const xdw::PortSection& section);
    void applyView(const xdw::Document& document);
    // Per document entry, the component made of it; null where none could be made.
    QList<QPointer<CVEXWrapper>> loadComponents(const QList<xdw::Component>& entries,
                                                noCancelProgresss* progress);
    CVEXWrapper* loadComponent(const xdw::Component& entry);
    void applyRecallEnabled(const QList<qint32>& values,
                            const QList<QPointer<CVEXWrapper>>& loaded);

    ApplicationWindow& m_window;
    bool m_quiet = false;
    QString m_componentLines;
};
