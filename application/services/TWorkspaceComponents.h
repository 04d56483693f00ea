// What the host object needs to know of the Workspace that owns it: the components' event
// filters, which every newly opened input port receives, and the instance names under which
// the components appear, for the texts that name a port's users. The Workspace window
// implements it.
#pragma once

#include <dorvo/dorvo2.h>

#include <QList>
#include <QString>
#include <optional>

class TWorkspaceComponents {
public:
    // GUI thread: the event filters of the Workspace's components, in Workspace order;
    // components without a filter are left out.
    virtual QList<IMPEventFilter*> componentEventFilters() const = 0;

    // GUI thread: the instance name of the component that was created as `component` (its
    // IMPInitialise pointer), or nothing when no such component is in the Workspace.
    virtual std::optional<QString> componentInstanceName(const IUnknown* component) const = 0;

protected:
    ~TWorkspaceComponents() = default;
};
