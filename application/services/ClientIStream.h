// A component's saved state as a byte stream over a device of the host (a memory buffer over
// the component's block of the workspace document). Sequential reading and writing, seeking
// and copying only. Positions are 32-bit offsets of the device.
#pragma once

#include "TInnerObject.h"

#include <QDataStream>
#include <memory>

class QIODevice;

class ClientIStream : public TInnerObject<IStream, IID_IStream> {
public:
    // Count 1, no outer object.
    ClientIStream();
    ~ClientIStream() override;

    // GUI thread, host-internal: the device to read and write; not owned, and it must stay open
    // while a component may use the stream.
    void setDevice(QIODevice* device);

    // GUI thread (component build: carried over to it), for all methods.
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                   ULARGE_INTEGER* plibNewPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                     ULARGE_INTEGER* pcbWritten) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                         DWORD dwLockType) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                           DWORD dwLockType) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

private:
    QIODevice* device() const { return m_dataStream ? m_dataStream->device() : nullptr; }
    qint64 readBytes(char* data, qint64 count);
    qint64 writeBytes(const char* data, qint64 count);
    HRESULT seekDevice(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition);

    std::unique_ptr<QDataStream> m_dataStream;
};
