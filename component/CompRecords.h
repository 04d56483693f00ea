// The calls of the component object that are carried from the outer application's threads to
// the GUI thread: one parameter record per call, with the call's arguments. Each holds the
// component object referenced until it ran, so the object outlives every call in transit.
#pragma once

#include "TSimpleMarshaller.h"

#include <dorvo/dorvo2.h>

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>

class CompIMPInitialise;

class IMPInitialise_MPDisconnect_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    explicit IMPInitialise_MPDisconnect_params(CompIMPInitialise* target);

protected:
    HRESULT call(IUnknown* target) override;
};

// Owns the document's bytes: a caller that stopped waiting cannot free them under the load.
class CompIMPInitialise_LoadStream2_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    CompIMPInitialise_LoadStream2_params(CompIMPInitialise* target, QByteArray document,
                                         quint64 connection);

protected:
    HRESULT call(IUnknown* target) override;

private:
    QByteArray m_document;
    quint64 m_connection;
};

class CompIMPInitialise_LoadStream3_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    explicit CompIMPInitialise_LoadStream3_params(CompIMPInitialise* target);

protected:
    HRESULT call(IUnknown* target) override;
};

class CompIMPInitialise_DisplayEditor_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    CompIMPInitialise_DisplayEditor_params(CompIMPInitialise* target, IUnknown* component);

protected:
    HRESULT call(IUnknown* target) override;

private:
    // Compared, never called: a component that left the Workspace meanwhile is not found.
    IUnknown* m_component;
};

// Any work of the component object that must run on the GUI thread and whose answer the
// caller waits for. The answer is shared: the record deletes itself after it ran, and the caller
// reads the answer from the shared completion.
class CompIMPInitialise_Run_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    struct Completion {
        HRESULT result = E_FAIL;
        std::atomic<bool> done{false};
    };

    CompIMPInitialise_Run_params(CompIMPInitialise* target, std::function<HRESULT()> work,
                                 std::shared_ptr<Completion> completion);

protected:
    HRESULT call(IUnknown* target) override;

private:
    std::function<HRESULT()> m_work;
    std::shared_ptr<Completion> m_completion;
};

class CompIMPInitialise_Resync_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    CompIMPInitialise_Resync_params(CompIMPInitialise* target, LONGLONG value);

protected:
    HRESULT call(IUnknown* target) override;

private:
    LONGLONG m_value;
};

// The page calls carried from the outer application's threads: each targets a property page
// (the component's own or an editor's stand-in) and calls it again on the GUI thread, where it
// does the work itself. The outer caller got S_OK already.
class IPropertyPage_Activate_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    IPropertyPage_Activate_params(IPropertyPage* target, HWND parent, const RECT& rect, BOOL modal);

protected:
    HRESULT call(IUnknown* target) override;

private:
    HWND m_parent;
    RECT m_rect;
    BOOL m_modal;
};

class IPropertyPage_Move_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    IPropertyPage_Move_params(IPropertyPage* target, const RECT& rect);

protected:
    HRESULT call(IUnknown* target) override;

private:
    RECT m_rect;
};

class IPropertyPage_Deactivate_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    explicit IPropertyPage_Deactivate_params(IPropertyPage* target);

protected:
    HRESULT call(IUnknown* target) override;
};

class IPropertyPage_Show_params : public TSimpleMarshaller {
    Q_OBJECT
public:
    IPropertyPage_Show_params(IPropertyPage* target, UINT command);

protected:
    HRESULT call(IUnknown* target) override;

private:
    UINT m_command;
};
