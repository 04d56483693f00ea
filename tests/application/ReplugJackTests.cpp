// A port of a real MIDI server (the fixture's jackd) pulled and registered again under its name
// while the Workspace has it open.
#include "JackTestClient.h"
#include "ReplugScenario.h"

#include <memory>

using dorvo2test::JackTestClient;

TEST(ReplugJackTest, AServersPortPulledAndPluggedInAgainWorksAgainWithoutTheUser) {
    auto keys = std::make_unique<JackTestClient>("dorvo-replug-keys");
    JackTestClient synth("dorvo-replug-synth");
    ASSERT_TRUE(keys->isOpen() && synth.isOpen()) << "no JACK server; run under the fixture";
    std::unique_ptr<JackTestClient> other;
    dorvo2test::expectReplugWorks(
        {keys->outPortName(), synth.inPortName(), "dorvo-replug-other:out",
         [&] {
             keys->play({0x90, 0x40, 0x50}, 3);
         },
         [&] { return synth.received(); },
         [&] {
             keys->close();
             keys.reset();
         },
         [&] { other = std::make_unique<JackTestClient>("dorvo-replug-other"); },
         [&] { keys = std::make_unique<JackTestClient>("dorvo-replug-keys"); }});
}
