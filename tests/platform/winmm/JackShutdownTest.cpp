// The JACK server going away under open devices. The test runs a server of its own (the
// fixture's is shared with other tests), started and killed with the fixture's script.
#include "JackTestClient.h"
#include "MidiTestSupport.h"
#include "TestEnvironment.h"

#include <dorvo/mmsystem.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using dorvo2test::InputBuffers;
using dorvo2test::JackTestClient;
using dorvo2test::MidiCallbackLog;
using dorvo2test::OutputBuffer;
using dorvo2test::sysex;
using dorvo2test::WarningCapture;

namespace {

int fixtureScript(const char* action) {
    const std::string command = std::string("sh '") + DORVO2_JACK_FIXTURE_SCRIPT + "' " + action +
                                " '" + std::getenv("JACK_DEFAULT_SERVER") + "' '" +
                                dorvo2test::tempRoot() + "/jackd'";
    return std::system(command.c_str());
}

class JackShutdown : public dorvo2test::MidiLayerFixture {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fixtureScript("start")); }
    static void TearDownTestSuite() { fixtureScript("stop"); }
};

} // namespace

TEST_F(JackShutdown, ServerGoingAwayMakesSendsFailWithoutHanging) {
    JackTestClient gadget("dorvo-test-gadget");
    ASSERT_TRUE(gadget.isOpen());
    MidiCallbackLog& inLog = newLog();
    MidiCallbackLog& outLog = newLog();
    HMIDIIN in = openInput(gadget.outPortName(), inLog);
    HMIDIOUT out = openOutput(gadget.inPortName(), outLog);
    InputBuffers& buffers = newBuffers(4, 4096);
    buffers.queue(in);
    ASSERT_EQ(MMSYSERR_NOERROR, midiInStart(in));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutShortMsg(out, 0x403C90));
    // A message too large to be gone in a moment is on its way when the server dies.
    OutputBuffer big(sysex(4 * 1024 * 1024));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &big.header, sizeof(MIDIHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutLongMsg(out, &big.header, sizeof(MIDIHDR)));

    WarningCapture warnings;
    ASSERT_EQ(0, fixtureScript("stop"));

    EXPECT_TRUE(outLog.waitFor(MOM_DONE, 1)) << "the long message never finished";
    EXPECT_TRUE(outLog.waitUntil([&] { return midiOutShortMsg(out, 0x403C90) != 0; }));
    EXPECT_EQ(MIDIERR_NODEVICE, midiOutShortMsg(out, 0x403C90));
    OutputBuffer small(sysex(100));
    ASSERT_EQ(MMSYSERR_NOERROR, midiOutPrepareHeader(out, &small.header, sizeof(MIDIHDR)));
    EXPECT_EQ(MIDIERR_NODEVICE, midiOutLongMsg(out, &small.header, sizeof(MIDIHDR)));
    EXPECT_TRUE(inLog.waitUntil([&] { return warnings.count("went away") > 0; }));
    EXPECT_EQ(1, warnings.count("The JACK server")) << "the server's end is reported once";

    // Everything still closes, and no device of the dead server is listed.
    EXPECT_EQ(MMSYSERR_NOERROR, midiInReset(in));
    EXPECT_EQ(4u, inLog.entries(MIM_LONGDATA).size());
    EXPECT_EQ(MMSYSERR_NOERROR, midiInClose(in));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutReset(out));
    EXPECT_EQ(MMSYSERR_NOERROR, midiOutClose(out));
    forget(in);
    forget(out);
    EXPECT_EQ(0u, midiInGetNumDevs());
    EXPECT_EQ(0u, midiOutGetNumDevs());
}
