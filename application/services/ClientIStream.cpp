#include "ClientIStream.h"

#include "DorvoAssert.h"

#include <QIODevice>
#include <algorithm>
#include <climits>
#include <new>

namespace {

constexpr ULONGLONG copyChunkSize = 65536;

// The device's position or size as the interface reports it: the low 32 bits, high part 0.
ULONGLONG devicePosition(qint64 position) {
    return static_cast<ULONGLONG>(position) & 0xFFFFFFFFu;
}

} // namespace

ClientIStream::ClientIStream()
    : TInnerObject(nullptr), m_dataStream(new (std::nothrow) QDataStream) {}

ClientIStream::~ClientIStream() = default;

void ClientIStream::setDevice(QIODevice* device) {
    if (m_dataStream)
        m_dataStream->setDevice(device);
}

qint64 ClientIStream::readBytes(char* data, qint64 count) {
    // The data stream refuses to work after a short read until its status is reset, and its raw
    // calls take int counts: read in pieces, stopping at the end of the device.
    qint64 total = 0;
    while (total < count) {
        m_dataStream->resetStatus();
        const int piece = static_cast<int>(std::min<qint64>(count - total, INT_MAX));
        const int got = m_dataStream->readRawData(data + total, piece);
        if (got <= 0)
            break;
        total += got;
        if (got < piece)
            break;
    }
    m_dataStream->resetStatus();
    return total;
}

qint64 ClientIStream::writeBytes(const char* data, qint64 count) {
    qint64 total = 0;
    while (total < count) {
        m_dataStream->resetStatus();
        const int piece = static_cast<int>(std::min<qint64>(count - total, INT_MAX));
        const int written = m_dataStream->writeRawData(data + total, piece);
        if (written <= 0)
            break;
        total += written;
        if (written < piece)
            break;
    }
    m_dataStream->resetStatus();
    return total;
}

HRESULT ClientIStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (pcbRead)
        *pcbRead = 0;
    if (!device())
        return E_FAIL;
    if (!pv && cb > 0)
        return STG_E_INVALIDPOINTER;
    const qint64 got = readBytes(static_cast<char*>(pv), cb);
    if (pcbRead)
        *pcbRead = static_cast<ULONG>(got);
    return S_OK;
}

HRESULT ClientIStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (pcbWritten)
        *pcbWritten = 0;
    if (!device())
        return E_FAIL;
    if (!pv && cb > 0)
        return STG_E_INVALIDPOINTER;
    const qint64 written = writeBytes(static_cast<const char*>(pv), cb);
    if (pcbWritten)
        *pcbWritten = static_cast<ULONG>(written);
    // A component must learn that its state was not saved whole (a read-only or full device).
    return written == qint64(cb) ? S_OK : E_FAIL;
}

HRESULT ClientIStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                            ULARGE_INTEGER* plibNewPosition) {
    const HRESULT status = seekDevice(dlibMove, dwOrigin, plibNewPosition);
    DORVO_CHECK(status == S_OK);
    return status;
}

HRESULT ClientIStream::seekDevice(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                  ULARGE_INTEGER* plibNewPosition) {
    QIODevice* const target = device();
    if (!target)
        return E_FAIL;
    // Only the low 32 bits of the move count, as a signed offset.
    const qint64 move = static_cast<LONG>(dlibMove.u.LowPart);
    qint64 position = -1;
    switch (dwOrigin) {
    case STREAM_SEEK_SET:
        position = move;
        break;
    case STREAM_SEEK_CUR:
        position = target->pos() + move;
        break;
    case STREAM_SEEK_END:
        position = target->size() + move;
        break;
    default:
        break;
    }
    // A position before the start is refused here rather than handed to the device, which
    // would complain on the warning channel in its own words.
    const bool moved = position >= 0 && target->seek(position);
    if (plibNewPosition)
        plibNewPosition->QuadPart = devicePosition(target->pos());
    return moved ? S_OK : E_FAIL;
}

HRESULT ClientIStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                              ULARGE_INTEGER* pcbWritten) {
    if (!pstm)
        return STG_E_INVALIDPOINTER;
    if (!device())
        return E_FAIL;
    if (pcbRead)
        pcbRead->QuadPart = 0;
    if (pcbWritten)
        pcbWritten->QuadPart = 0;
    if (cb.QuadPart == 0)
        return S_OK;
    ULONGLONG chunk = std::min(cb.QuadPart, copyChunkSize);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[chunk]);
    if (!buffer)
        return E_FAIL;
    ULONGLONG remaining = cb.QuadPart;
    while (remaining > 0) {
        // Only what the device gave goes to the target: at its end the copy stops instead of
        // passing on stale buffer bytes (a count larger than the rest means "all of it").
        const qint64 got = readBytes(buffer.get(), static_cast<qint64>(chunk));
        if (got <= 0)
            break;
        ULONG written = 0;
        const HRESULT result = pstm->Write(buffer.get(), static_cast<ULONG>(got), &written);
        if (FAILED(result))
            break;
        if (pcbRead)
            pcbRead->QuadPart += static_cast<ULONGLONG>(got);
        if (pcbWritten)
            pcbWritten->QuadPart += written;
        if (static_cast<ULONGLONG>(got) < chunk)
            break;
        remaining -= chunk;
        chunk = std::min(remaining, chunk);
    }
    return S_OK;
}

HRESULT ClientIStream::SetSize(ULARGE_INTEGER) {
    return E_NOTIMPL;
}

HRESULT ClientIStream::Commit(DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIStream::Revert() {
    return E_NOTIMPL;
}

HRESULT ClientIStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIStream::Stat(STATSTG*, DWORD) {
    return E_NOTIMPL;
}

HRESULT ClientIStream::Clone(IStream** ppstm) {
    if (ppstm)
        *ppstm = nullptr;
    return E_NOTIMPL;
}
