#include "CompIPersistStream.h"

#include "ApplicationWindow.h"
#include "CompIMPInitialise.h"
#include "DorvoAssert.h"
#include "TComponentServer.h"
#include "TWorkspaceSerializer.h"

#include <QDataStream>
#include <QIODevice>
#include <QMutexLocker>

#include <new>

CompIPersistStream::CompIPersistStream(CompIMPInitialise* owner)
    : TInnerObject(owner), m_owner(owner) {
    TComponentServer::trace(
        "CompIPersistStream::CompIPersistStream() Constructor called - useCount: 1");
}

HRESULT CompIPersistStream::GetClassID(CLSID* classId) {
    if (!classId)
        return E_FAIL;
    *classId = CLSID_Dorvo2Comp;
    return S_OK;
}

// The Workspace's questions are answered on the GUI thread, where its window and the hosted
// components live; the outer application's thread waits for the answer (and writes to its own
// stream itself).

HRESULT CompIPersistStream::IsDirty() {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return S_FALSE;
    return m_owner->runOnGuiThread([owner = m_owner] {
        QMutexLocker lock(&owner->objectLock());
        ApplicationWindow* window = owner->workspaceWindow();
        if (!window)
            return S_FALSE;
        QMutexLocker workspaceLock(&window->workspaceLock());
        return window->isModified() ? S_OK : S_FALSE;
    });
}

HRESULT CompIPersistStream::documentBytes(QByteArray& bytes, bool measuring, bool clearDirty) {
    return m_owner->runOnGuiThread([owner = m_owner, &bytes, measuring, clearDirty] {
        QMutexLocker lock(&owner->objectLock());
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        ApplicationWindow* window = owner->workspaceWindow();
        if (!window) {
            TWorkspaceSerializer::saveEmpty(stream);
            return S_OK;
        }
        QMutexLocker workspaceLock(&window->workspaceLock());
        // The outer application decides whether saving clears the modified state.
        return window->saveToStream(stream, true, measuring || !clearDirty);
    });
}

HRESULT CompIPersistStream::Save(IStream* stream, BOOL clearDirty) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    if (!stream)
        return E_FAIL;
    QByteArray bytes;
    const HRESULT saved = documentBytes(bytes, false, clearDirty != FALSE);
    if (saved != S_OK || bytes.isEmpty())
        return saved;
    return stream->Write(bytes.constData(), ULONG(bytes.size()), nullptr);
}

HRESULT CompIPersistStream::GetSizeMax(ULARGE_INTEGER* size) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    if (!size)
        return E_FAIL;
    QByteArray bytes;
    const HRESULT saved = documentBytes(bytes, true, false);
    size->QuadPart = ULONGLONG(bytes.size());
    return saved;
}

HRESULT CompIPersistStream::Load(IStream* stream) {
    if (!DORVO_CHECK_TEXT(m_owner, "pOuter"))
        return E_FAIL;
    if (!stream)
        return E_FAIL;
    STATSTG statistics{};
    if (FAILED(stream->Stat(&statistics, STATFLAG_NONAME)) || statistics.cbSize.QuadPart == 0)
        return E_FAIL;
    // A document that does not fit in memory, or in one read, is not one this host wrote.
    if (statistics.cbSize.QuadPart > ULONGLONG(0x7FFFFFFF))
        return E_OUTOFMEMORY;
    QByteArray document;
    try {
        document.resize(qsizetype(statistics.cbSize.QuadPart));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    ULONG read = 0;
    if (FAILED(stream->Read(document.data(), ULONG(document.size()), &read)))
        return E_FAIL;
    document.truncate(qsizetype(read));

    QMutexLocker lock(&m_owner->objectLock());
    if (!TComponentServer::mainThreadRunning())
        return m_owner->loadFromOuterThread(std::move(document));
    const HRESULT loaded = m_owner->loadCore(document, m_owner->connection());
    if (loaded == S_OK)
        m_owner->afterLoad();
    return loaded;
}
