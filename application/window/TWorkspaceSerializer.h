// Writes the Workspace window's whole Workspace as a workspace document: the window's geometry,
// the Workspace's ports, the icon view's settings, each component with its editor window, icon
// and Recall settings and the state it saves, and the MIDI Thru settings. GUI thread.
#pragma once

#include "TWorkspaceDocument.h"

#include <dorvo/wintypes.h>

#include <optional>

class ApplicationWindow;
class CVEXWrapper;
class QDataStream;

class TWorkspaceSerializer {
public:
    explicit TWorkspaceSerializer(ApplicationWindow& window) : m_window(window) {}

    // Quiet: no busy state. Keep-modified: the modified mark stays as it is. 0, or the save
    // result of the first component that failed; the document is finished either way, with
    // the components before that one.
    HRESULT save(QDataStream& stream, bool quiet, bool keepModified);
    // The document of a Workspace that has no window yet: no components, no ports, the
    // window's place at (100, 100)-(499, 399).
    static void saveEmpty(QDataStream& stream);

private:
    // Minor version, arrangement and sorting.
    QMap<QString, QVariant> viewSettings() const;
    // Nothing for a component without persistence or class identifier; `failure` is set when
    // its save failed.
    std::optional<xdw::Component> componentEntry(CVEXWrapper* component, HRESULT& failure);
    QPoint iconPosition(CVEXWrapper* component) const;

    ApplicationWindow& m_window;
};
