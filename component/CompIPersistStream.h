// The component object's persistence: the Workspace as a workspace document inside the outer
// application's project. Every call does its work on the GUI thread, under the object's and the
// window's locks; the outer application's thread waits for it (a load that does not begin
// within a second excepted).
#pragma once

#include "TInnerObject.h"

#include <dorvo/objbase.h>

#include <QByteArray>

class CompIMPInitialise;

class CompIPersistStream : public TInnerObject<IPersistStream, IID_IPersistStream> {
public:
    explicit CompIPersistStream(CompIMPInitialise* owner);

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
    // S_OK while the Workspace has unsaved changes, else S_FALSE (also before there is one).
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    // The exact length that Save would write now.
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

private:
    // The document as it would be saved now; measuring leaves the modified state alone.
    HRESULT documentBytes(QByteArray& bytes, bool measuring, bool clearDirty);

    CompIMPInitialise* const m_owner;
};
