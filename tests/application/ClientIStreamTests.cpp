// The byte stream that carries a component's state, over a memory buffer.
#include "ClientIStream.h"
#include "TestObjects.h"

#include <QBuffer>
#include <algorithm>
#include <gtest/gtest.h>

using dorvo2test::WarningCapture;

namespace {

const QString streamFile = QStringLiteral("ClientIStream");

LARGE_INTEGER offset(LONGLONG value) {
    LARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}

ULARGE_INTEGER count(ULONGLONG value) {
    ULARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}

QByteArray pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 256);
    return bytes;
}

// A copy target over its own buffer that records the size of every Write; it can take fewer
// bytes than offered and refuse writes after a number of them.
class RecordingStream : public ClientIStream {
public:
    RecordingStream() {
        buffer.open(QIODevice::WriteOnly);
        setDevice(&buffer);
    }
    HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        writes.push_back(cb);
        if (int(writes.size()) > failAfter)
            return E_FAIL;
        return ClientIStream::Write(pv, std::min(cb, acceptAtMost), pcbWritten);
    }
    QBuffer buffer;
    std::vector<ULONG> writes;
    int failAfter = 1000;
    ULONG acceptAtMost = 0xFFFFFFFFu;
};

class ClientIStreamTest : public testing::Test {
protected:
    void SetUp() override { use(pattern(10), QIODevice::ReadWrite); }
    void TearDown() override { EXPECT_EQ(stream->Release(), 0u); }
    void use(const QByteArray& bytes, QIODevice::OpenMode mode) {
        buffer.close();
        buffer.setData(bytes);
        buffer.open(mode);
        stream->setDevice(&buffer);
    }

    ClientIStream* stream = new ClientIStream;
    QBuffer buffer;
};

TEST_F(ClientIStreamTest, ReadGivesWhatIsLeftAndWriteOverwritesInPlace) {
    buffer.seek(6);
    char bytes[10] = {};
    ULONG read = 99;
    EXPECT_EQ(stream->Read(bytes, 10, &read), S_OK);
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(QByteArray(bytes, 4), pattern(10).mid(6));
    // Running into the end does not stop later writes and reads.
    ASSERT_EQ(stream->Seek(offset(2), STREAM_SEEK_SET, nullptr), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("abc", 3, &written), S_OK);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(buffer.data().mid(2, 3), QByteArray("abc"));
    stream->Seek(offset(-3), STREAM_SEEK_CUR, nullptr);
    EXPECT_EQ(stream->Read(bytes, 3, nullptr), S_OK);
    EXPECT_EQ(QByteArray(bytes, 3), QByteArray("abc"));

    ULONG done = 7;
    EXPECT_EQ(stream->Read(nullptr, 4, &done), STG_E_INVALIDPOINTER);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(stream->Write(nullptr, 4, &done), STG_E_INVALIDPOINTER);
    // A device that refuses writing: the component learns that its bytes were not kept.
    use(pattern(4), QIODevice::ReadOnly);
    WarningCapture warnings; // the device says why on the warning channel
    EXPECT_EQ(stream->Write("abcd", 4, &done), E_FAIL);
    EXPECT_EQ(done, 0u);
}

TEST_F(ClientIStreamTest, SeekFollowsItsOriginAndWarnsWhenItFails) {
    ULARGE_INTEGER position = count(~0ull);
    EXPECT_EQ(stream->Seek(offset(0), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 10u);
    EXPECT_EQ(stream->Seek(offset(-4), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 6u);
    EXPECT_EQ(stream->Seek(offset(-1), STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 5u);
    EXPECT_EQ(stream->Seek(offset(0x100000003LL), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 3u); // only the low 32 bits count

    WarningCapture warnings;
    EXPECT_EQ(stream->Seek(offset(0), 3, &position), E_FAIL);
    EXPECT_EQ(position.QuadPart, 3u);
    EXPECT_TRUE(warnings.hasAssert("status == S_OK", streamFile));
    EXPECT_EQ(stream->Seek(offset(-11), STREAM_SEEK_END, &position), E_FAIL);
    EXPECT_EQ(stream->Seek(offset(-4), STREAM_SEEK_CUR, &position), E_FAIL);
    EXPECT_EQ(buffer.pos(), 3);
    EXPECT_EQ(warnings.messages.size(), 3);
}

TEST_F(ClientIStreamTest, CopyToWritesInChunksOf65536) {
    use(pattern(70000), QIODevice::ReadOnly);
    RecordingStream target;
    ULARGE_INTEGER read{}, written{};
    EXPECT_EQ(stream->CopyTo(&target, count(70000), &read, &written), S_OK);
    EXPECT_EQ(target.writes, (std::vector<ULONG>{65536, 4464}));
    EXPECT_EQ(target.buffer.data(), pattern(70000));
    EXPECT_EQ(read.QuadPart, 70000u);
    EXPECT_EQ(written.QuadPart, 70000u);

    // "All that is left": only the bytes the device has reach the target.
    buffer.seek(69990);
    target.writes.clear();
    EXPECT_EQ(stream->CopyTo(&target, count(~0ull), &read, &written), S_OK);
    EXPECT_EQ(target.writes, (std::vector<ULONG>{10}));
    EXPECT_EQ(target.buffer.data().right(10), pattern(70000).right(10));
    EXPECT_EQ(read.QuadPart, 10u);
}

TEST_F(ClientIStreamTest, CopyToCountsWhatTheTargetTookAndEndsOnItsFailure) {
    use(pattern(200000), QIODevice::ReadOnly);
    RecordingStream target;
    target.acceptAtMost = 1000;
    target.failAfter = 2;
    ULARGE_INTEGER read{}, written{};
    EXPECT_EQ(stream->CopyTo(&target, count(200000), &read, &written), S_OK);
    EXPECT_EQ(target.writes.size(), 3u);
    EXPECT_EQ(read.QuadPart, 2u * 65536);
    EXPECT_EQ(written.QuadPart, 2000u);

    target.writes.clear();
    read = written = count(5);
    EXPECT_EQ(stream->CopyTo(&target, count(0), &read, &written), S_OK);
    EXPECT_TRUE(target.writes.empty());
    EXPECT_EQ(read.QuadPart + written.QuadPart, 0u);
    EXPECT_EQ(stream->CopyTo(nullptr, count(4), &read, &written), STG_E_INVALIDPOINTER);
    EXPECT_EQ(buffer.pos(), 3 * 65536); // the refused chunk was read, not counted
}

TEST_F(ClientIStreamTest, AnswersForItselfAndLeavesTheRestUnimplemented) {
    IUnknown* identity = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(stream));
    identity->Release();
    void* other = stream;
    EXPECT_EQ(stream->QueryInterface(IID_IPersistStream, &other), E_NOINTERFACE);
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

TEST(ClientIStreamWithoutDeviceTest, EveryOperationFails) {
    ClientIStream* stream = new ClientIStream;
    WarningCapture warnings;
    char bytes[4];
    EXPECT_EQ(stream->Read(bytes, 4, nullptr), E_FAIL);
    EXPECT_EQ(stream->Write(bytes, 4, nullptr), E_FAIL);
    ULARGE_INTEGER position = count(12345);
    EXPECT_EQ(stream->Seek(offset(0), STREAM_SEEK_SET, &position), E_FAIL);
    EXPECT_EQ(position.QuadPart, 12345u);
    EXPECT_TRUE(warnings.hasAssert("status == S_OK", streamFile));
    RecordingStream target;
    EXPECT_EQ(stream->CopyTo(&target, count(4), nullptr, nullptr), E_FAIL);
    EXPECT_TRUE(target.writes.empty());
    EXPECT_EQ(stream->Release(), 0u);
}

} // namespace
