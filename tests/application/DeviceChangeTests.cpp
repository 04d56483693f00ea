// A virtual device pulled and plugged in again while the Workspace runs.
#include "ReplugScenario.h"

#include <dorvo/virtualmidi.h>

namespace vm = dorvo::virtualmidi;

TEST(DeviceChangeTest, APulledDeviceComesBackOpenWithThruAndInputWithoutTheUser) {
    vm::reset();
    const std::string source = "Dorvo Loopback 1";
    const std::string thru = "Dorvo Loopback 2";
    std::uint8_t note = 60;
    dorvo2test::expectReplugWorks(
        {source, thru, "Dorvo Loopback 9",
         [&] {
             vm::inject(source, {0x90, note++, 100});
         },
         [&] { return vm::sentMessages(thru).size(); }, [&] { vm::removeDevice(source); },
         [] { vm::addLoopback("Dorvo Loopback 9"); }, [&] { vm::addLoopback(source); }});
    vm::reset();
}
