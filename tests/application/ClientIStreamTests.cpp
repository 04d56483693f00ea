// The byte stream that carries a component's state: reading, writing, seeking and copying over
// a memory buffer.
#include "ClientIStream.h"
#include "TestObjects.h"

#include <QBuffer>
#include <QByteArray>
#include <gtest/gtest.h>

using dorvo2test::WarningCapture;

namespace {

const QString streamFile = QStringLiteral("ClientIStream");

LARGE_INTEGER move(LONGLONG value) {
    LARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}

ULARGE_INTEGER count(ULONGLONG value) {
    ULARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}

// A target that records the size of every Write and keeps the bytes; it can refuse a write.
class RecordingStream : public IStream {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        writes.push_back(cb);
        if (failAfter >= 0 && int(writes.size()) > failAfter)
            return E_FAIL;
        const ULONG taken = acceptAtMost < cb ? acceptAtMost : cb;
        bytes.append(static_cast<const char*>(pv), taken);
        *pcbWritten = taken;
        return S_OK;
    }
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

    std::vector<ULONG> writes;
    QByteArray bytes;
    int failAfter = -1;
    ULONG acceptAtMost = 0xFFFFFFFFu;
};

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 256);
    return bytes;
}

class ClientIStreamTest : public testing::Test {
protected:
    void SetUp() override {
        stream = new ClientIStream;
        buffer.setData(pattern(10));
        buffer.open(QIODevice::ReadWrite);
        stream->setDevice(&buffer);
    }
    void TearDown() override { EXPECT_EQ(stream->Release(), 0u); }

    ClientIStream* stream = nullptr;
    QBuffer buffer;
};

TEST_F(ClientIStreamTest, ReadGivesWhatIsLeftAndWriteOverwritesInPlace) {
    ASSERT_TRUE(buffer.seek(6));
    char bytes[10] = {};
    ULONG read = 99;
    EXPECT_EQ(stream->Read(bytes, 10, &read), S_OK);
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(QByteArray(bytes, 4), pattern(10).mid(6));
    EXPECT_EQ(stream->Read(bytes, 10, &read), S_OK);
    EXPECT_EQ(read, 0u);

    // After running into the end, writing and reading still work.
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(move(2), STREAM_SEEK_SET, &position), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("abc", 3, &written), S_OK);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(stream->Write("xy", 2, nullptr), S_OK);
    EXPECT_EQ(buffer.data().mid(2, 5), QByteArray("abcxy"));
    EXPECT_EQ(buffer.size(), 10);
    stream->Seek(move(-5), STREAM_SEEK_CUR, nullptr);
    EXPECT_EQ(stream->Read(bytes, 5, nullptr), S_OK);
    EXPECT_EQ(QByteArray(bytes, 5), QByteArray("abcxy"));
}

TEST_F(ClientIStreamTest, SeekFollowsItsOriginAndReportsThePosition) {
    ULARGE_INTEGER position{};
    position.QuadPart = 0xFFFFFFFF00000000ull;
    EXPECT_EQ(stream->Seek(move(0), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 10u);
    EXPECT_EQ(stream->Seek(move(-4), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 6u);
    EXPECT_EQ(stream->Seek(move(-2), STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 4u);
    EXPECT_EQ(stream->Seek(move(1), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 1u);
    EXPECT_EQ(buffer.pos(), 1);
    // Only the low 32 bits of the move count.
    EXPECT_EQ(stream->Seek(move(0x100000003LL), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 3u);
}

TEST_F(ClientIStreamTest, AFailedSeekWarnsAndLeavesThePosition) {
    buffer.seek(5);
    WarningCapture warnings;
    ULARGE_INTEGER position{};
    EXPECT_EQ(stream->Seek(move(0), 3, &position), E_FAIL);
    EXPECT_EQ(position.QuadPart, 5u);
    EXPECT_TRUE(warnings.hasAssert("status == S_OK", streamFile));
    EXPECT_EQ(stream->Seek(move(-11), STREAM_SEEK_END, &position), E_FAIL);
    EXPECT_EQ(position.QuadPart, 5u);
    EXPECT_EQ(stream->Seek(move(-6), STREAM_SEEK_CUR, nullptr), E_FAIL);
    EXPECT_EQ(buffer.pos(), 5);
    EXPECT_EQ(warnings.messages().size(), 3);
}

TEST_F(ClientIStreamTest, CopyToWritesInChunksOf65536) {
    buffer.close();
    buffer.setData(pattern(70000));
    buffer.open(QIODevice::ReadOnly);
    RecordingStream target;
    ULARGE_INTEGER read{}, written{};
    EXPECT_EQ(stream->CopyTo(&target, count(70000), &read, &written), S_OK);
    EXPECT_EQ(target.writes, (std::vector<ULONG>{65536, 4464}));
    EXPECT_EQ(target.bytes, pattern(70000));
    EXPECT_EQ(read.QuadPart, 70000u);
    EXPECT_EQ(written.QuadPart, 70000u);

    // A short count is one chunk of its own size.
    buffer.seek(100);
    target.writes.clear();
    EXPECT_EQ(stream->CopyTo(&target, count(300), nullptr, nullptr), S_OK);
    EXPECT_EQ(target.writes, (std::vector<ULONG>{300}));
    EXPECT_EQ(buffer.pos(), 400);
}

TEST_F(ClientIStreamTest, CopyToStopsAtTheEndOfTheDevice) {
    buffer.seek(4);
    RecordingStream target;
    ULARGE_INTEGER read{}, written{};
    // "Everything that is left": only the six real bytes reach the target.
    EXPECT_EQ(stream->CopyTo(&target, count(~0ull), &read, &written), S_OK);
    EXPECT_EQ(target.writes, (std::vector<ULONG>{6}));
    EXPECT_EQ(target.bytes, pattern(10).mid(4));
    EXPECT_EQ(read.QuadPart, 6u);
    EXPECT_EQ(written.QuadPart, 6u);
}

TEST_F(ClientIStreamTest, CopyToCountsWhatTheTargetTookAndEndsOnItsFailure) {
    buffer.close();
    buffer.setData(pattern(200000));
    buffer.open(QIODevice::ReadOnly);
    RecordingStream target;
    target.acceptAtMost = 1000;
    target.failAfter = 2;
    ULARGE_INTEGER read{}, written{};
    EXPECT_EQ(stream->CopyTo(&target, count(200000), &read, &written), S_OK);
    EXPECT_EQ(target.writes.size(), 3u);
    EXPECT_EQ(read.QuadPart, 2u * 65536);
    EXPECT_EQ(written.QuadPart, 2000u);
}

TEST_F(ClientIStreamTest, CopyToWithNothingToDoOrNoTarget) {
    RecordingStream target;
    ULARGE_INTEGER read = count(5), written = count(5);
    EXPECT_EQ(stream->CopyTo(&target, count(0), &read, &written), S_OK);
    EXPECT_TRUE(target.writes.empty());
    EXPECT_EQ(read.QuadPart, 0u);
    EXPECT_EQ(written.QuadPart, 0u);
    EXPECT_EQ(stream->CopyTo(nullptr, count(4), &read, &written), STG_E_INVALIDPOINTER);
    EXPECT_EQ(buffer.pos(), 0);
}

TEST_F(ClientIStreamTest, TheRestIsNotImplemented) {
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, 0), E_NOTIMPL);
    EXPECT_EQ(stream->SetSize(count(3)), E_NOTIMPL);
    EXPECT_EQ(stream->Commit(0), E_NOTIMPL);
    EXPECT_EQ(stream->Revert(), E_NOTIMPL);
    EXPECT_EQ(stream->LockRegion(count(0), count(1), 0), E_NOTIMPL);
    EXPECT_EQ(stream->UnlockRegion(count(0), count(1), 0), E_NOTIMPL);
    IStream* clone = stream;
    EXPECT_EQ(stream->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(clone, nullptr);
}

TEST_F(ClientIStreamTest, AnswersForItselfAsStreamAndUnknownOnly) {
    IUnknown* identity = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(stream));
    IStream* same = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, stream);
    EXPECT_EQ(stream->referenceCount(), 3u);
    void* other = stream;
    EXPECT_EQ(stream->QueryInterface(IID_IPersistStream, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    identity->Release();
    same->Release();
}

TEST_F(ClientIStreamTest, BadCallsFailWithoutTouchingTheDevice) {
    ULONG done = 7;
    EXPECT_EQ(stream->Read(nullptr, 4, &done), STG_E_INVALIDPOINTER);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(stream->Write(nullptr, 4, &done), STG_E_INVALIDPOINTER);
    EXPECT_EQ(buffer.pos(), 0);
    EXPECT_EQ(buffer.data(), pattern(10));

    // A device that refuses writing: the component learns that its bytes were not kept.
    QBuffer readOnly;
    readOnly.setData(pattern(4));
    readOnly.open(QIODevice::ReadOnly);
    stream->setDevice(&readOnly);
    WarningCapture warnings; // the device says why on the warning channel
    done = 7;
    EXPECT_EQ(stream->Write("abcd", 4, &done), E_FAIL);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(readOnly.data(), pattern(4));
}

TEST(ClientIStreamWithoutDeviceTest, EveryOperationFails) {
    auto* stream = new ClientIStream;
    WarningCapture warnings;
    char bytes[4];
    ULONG done = 7;
    EXPECT_EQ(stream->Read(bytes, 4, &done), E_FAIL);
    EXPECT_EQ(stream->Write(bytes, 4, &done), E_FAIL);
    ULARGE_INTEGER position = count(12345);
    EXPECT_EQ(stream->Seek(move(0), STREAM_SEEK_SET, &position), E_FAIL);
    EXPECT_EQ(position.QuadPart, 12345u);
    EXPECT_TRUE(warnings.hasAssert("status == S_OK", streamFile));
    RecordingStream target;
    EXPECT_EQ(stream->CopyTo(&target, count(4), nullptr, nullptr), E_FAIL);
    EXPECT_EQ(stream->CopyTo(nullptr, count(4), nullptr, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_TRUE(target.writes.empty());
    EXPECT_EQ(stream->Release(), 0u);
}

} // namespace
