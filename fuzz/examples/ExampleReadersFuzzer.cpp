// The example components' readers of outside bytes. The first byte picks the reader, the rest
// is its input; none may crash, hang or read out of bounds, and what they accept must hold.
#include "DemoSynthMessages.h"
#include "StateFormat.h"
#include "SyxFile.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A read-only stream over the fuzzer's bytes, handing them out in small pieces.
class MemoryStream final : public IStream {
public:
    MemoryStream(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        const std::size_t count = std::min<std::size_t>({cb, m_size - m_position, 7});
        std::memcpy(pv, m_data + m_position, count);
        m_position += count;
        *pcbRead = ULONG(count);
        return count == cb ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

void readSyx(const QByteArray& bytes) {
    QString error;
    const auto messages = syxfile::parse(bytes, &error);
    check(messages.empty() != error.isEmpty());
    for (const auto& message : messages)
        check(examples::isCompleteSysex(message));
    if (!messages.empty())
        check(syxfile::join(messages) == bytes);
}

void readInput(const examples::Bytes& bytes) {
    std::size_t skipped = 0;
    std::size_t kept = 0;
    for (const auto& message : examples::splitSysex(bytes, &skipped)) {
        check(examples::isCompleteSysex(message));
        kept += message.size();
        const demosynth::Reply reply = demosynth::parseReply(message);
        if (reply.kind == demosynth::Reply::kDump) {
            for (int i = 0; i < demosynth::kValuesPerBlock; ++i)
                check(reply.values[std::size_t(i)] <= demosynth::parameter(reply.block, i).maximum);
        }
        examples::shortenedHex(message);
    }
    check(kept + skipped <= bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t reader = data[0] % 4;
    ++data;
    --size;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    switch (reader) {
    case 0:
        readSyx(bytes);
        break;
    case 1: {
        QString error;
        const auto parsed = examples::parseHex(QString::fromUtf8(bytes), &error);
        check(parsed.empty() || error.isEmpty());
        break;
    }
    case 2:
        readInput(examples::Bytes(data, data + size));
        break;
    default: {
        MemoryStream stream(data, size);
        std::uint16_t version = 0;
        QByteArray payload;
        const HRESULT hr = examples::readState(&stream, "DSYN", 1, 1u << 20, &version, &payload);
        if (SUCCEEDED(hr))
            check(version == 1 && std::size_t(payload.size()) + examples::kStateHeaderSize <= size);
        break;
    }
    }
    return 0;
}
