// What an input handle makes of a backend that reports bytes lost on the way (a full ring
// between the JACK process callback and the layer, an overflowing sequencer queue).
#include "HandleSupport.h"
#include "MidiCallbackLog.h"
#include "MidiInHandle.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dorvo::winmm;
using dorvo2test::MidiCallbackLog;
using namespace std::chrono_literals;

namespace {

class FakeBackend : public MidiBackend {
public:
    std::vector<std::string> deviceNames(Direction) override { return {"Fake"}; }
    MMRESULT openInput(UINT, MidiInputSink& opened,
                       std::unique_ptr<MidiBackendInput>& input) override {
        sink = &opened;
        input = std::make_unique<MidiBackendInput>();
        return MMSYSERR_NOERROR;
    }
    MMRESULT openOutput(UINT, std::unique_ptr<MidiBackendOutput>&) override {
        return MMSYSERR_NOTSUPPORTED;
    }
    void send(std::vector<std::uint8_t> bytes) { sink->receiveBytes(bytes.data(), bytes.size()); }
    MidiInputSink* sink = nullptr;
};

} // namespace

TEST(MidiInputLoss, ALostStretchEndsTheMessageUnderWayAndSkipsItsTail) {
    MidiCallbackLog log;
    FakeBackend backend;
    auto handle = std::make_shared<MidiInHandle>(reinterpret_cast<HMIDIIN>(0x1230),
                                                 &MidiCallbackLog::inputCallback, log.instance());
    ASSERT_EQ(MMSYSERR_NOERROR, handle->open(backend, 0, "Fake"));
    std::vector<char> first(16), second(16);
    MIDIHDR headers[2] = {};
    headers[0].lpData = first.data();
    headers[1].lpData = second.data();
    for (MIDIHDR& header : headers) {
        header.dwBufferLength = 16;
        ASSERT_EQ(MMSYSERR_NOERROR, prepareHeader(&header, sizeof header));
        ASSERT_EQ(MMSYSERR_NOERROR, handle->addBuffer(&header, sizeof header));
    }
    ASSERT_EQ(MMSYSERR_NOERROR, handle->start());

    backend.send({0xF0, 0x01, 0x02, 0x03});
    backend.sink->bytesLost();
    backend.send({0x04, 0x05, 0x06, 0xF7, 0x90, 0x3C, 0x40}); // the tail, then a note
    backend.send({0xF0, 0x07, 0xF7});
    ASSERT_TRUE(log.waitFor(MIM_LONGDATA, 1));
    ASSERT_TRUE(log.waitFor(MIM_DATA, 1));

    const auto errors = log.entries(MIM_LONGERROR);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ((std::vector<std::uint8_t>{0xF0, 0x01, 0x02, 0x03}), errors[0].bytes);
    EXPECT_EQ(&headers[0], errors[0].header);
    EXPECT_EQ(0x403C90u, log.entries(MIM_DATA)[0].param1);
    EXPECT_EQ((std::vector<std::uint8_t>{0xF0, 0x07, 0xF7}), log.entries(MIM_LONGDATA)[0].bytes);
    // The stray tail is skipped quietly, not reported byte by byte.
    EXPECT_TRUE(log.entries(MIM_ERROR).empty());

    EXPECT_EQ(MMSYSERR_NOERROR, handle->reset());
    EXPECT_EQ(MMSYSERR_NOERROR, handle->close());
    ASSERT_TRUE(log.waitFor(MIM_CLOSE, 1));
}
