// The component object's list of property pages: its one page, the Workspace.
#pragma once

#include "TInnerObject.h"

#include <dorvo/objbase.h>

class CompIMPInitialise;

class CompISpecifyPropertyPages
    : public TInnerObject<ISpecifyPropertyPages, IID_ISpecifyPropertyPages> {
public:
    explicit CompISpecifyPropertyPages(CompIMPInitialise* owner);

    // One page class, in task memory that the caller frees.
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

private:
    CompIMPInitialise* const m_owner;
};
