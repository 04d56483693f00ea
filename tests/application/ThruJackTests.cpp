// MIDI Thru through a real MIDI server (the fixture's jackd): a client of the test plays into a
// Workspace input, the Thru output feeds a pass-through client, and what it passes comes back
// into another Workspace input.
#include "JackTestClient.h"
#include "ThruScenario.h"

#include <gtest/gtest.h>

using namespace dorvo2test;

TEST(ThruJackTest, RoutesFromInputToOutputThroughTheServer) {
    JackTestClient source("dorvo-thru-source");
    JackTestClient echo("dorvo-thru-echo");
    ASSERT_TRUE(source.isOpen() && echo.isOpen()) << "no JACK server; run under the CTest fixture";
    echo.passThrough(true);
    // Made after the clients: the host object lists the server's ports when it is made.
    WorkspacePorts ports;
    ASSERT_GE(ports.index(kIn, source.outPortName()), 0);
    expectThruEndToEnd(ports, {source.outPortName(), echo.inPortName(), echo.outPortName(),
                               [&source](const std::vector<Bytes>& messages) {
                                   Bytes bytes;
                                   for (const Bytes& message : messages)
                                       bytes.insert(bytes.end(), message.begin(), message.end());
                                   source.play(bytes, 3);
                                   for (int wait = 0; !source.played() && wait < 5000; ++wait)
                                       QThread::msleep(1);
                               }});
}
