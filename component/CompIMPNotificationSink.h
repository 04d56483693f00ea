// The component object's notification sink: the outer application's notifications, passed to
// the Workspace's components on the caller's thread.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

class CompIMPInitialise;

class CompIMPNotificationSink : public TInnerObject<IMPNotificationSink, IID_IMPNotificationSink> {
public:
    explicit CompIMPNotificationSink(CompIMPInitialise* owner);

    // Dropped (S_OK) while another call holds the object; E_FAIL before there is a Workspace.
    HRESULT STDMETHODCALLTYPE OnNotify(const MPNOTIFICATION* notification) override;

private:
    CompIMPInitialise* const m_owner;
};
