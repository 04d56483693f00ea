// MIDI Thru latency on the virtual devices: from a note arriving at the input device to the
// output device taking the passed note, through the driver's input callback, ring and reader
// thread, the input's delivery, the thru filter and the output's send. Median and 99th
// percentile over many single notes, each sent after the previous one came out.
#include "BenchEnvironment.h"
#include "ClientIUnknown.h"
#include "DevicePortNumber.h"

#include <algorithm>
#include <chrono>
#include <dorvo/virtualmidi.h>
#include <optional>
#include <thread>
#include <vector>

namespace {

namespace vm = dorvo::virtualmidi;
using Clock = vm::Clock;

const std::string kInputDevice = "Dorvo Loopback 1";
const std::string kOutputDevice = "Dorvo Loopback 2";

// The time the output device took the passed message, or nothing after a second.
std::optional<Clock::time_point> waitForPassedNote() {
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < deadline) {
        const auto sent = vm::sentMessages(kOutputDevice);
        if (!sent.empty())
            return sent.front().begin;
        std::this_thread::yield();
    }
    return std::nullopt;
}

double microseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

void BM_ThruLatency(benchmark::State& state) {
    vm::reset();
    auto* host = new ClientIUnknown;
    const int inPort = portNumberOf(0, kInputDevice);
    const int outPort = portNumberOf(1, kOutputDevice);
    if (!host->openPort(false, inPort) || !host->openPort(true, outPort) ||
        !host->addThruRoute(inPort, outPort)) {
        host->Release();
        state.SkipWithError("the thru route cannot be set up");
        return;
    }
    host->setThruChannel(10);
    std::vector<Clock::duration> latencies;
    for (auto _ : state) {
        vm::clearSent(kOutputDevice);
        const BYTE note = BYTE(latencies.size() & 0x7F);
        const auto injected = Clock::now();
        vm::inject(kInputDevice, {0x90, note, 0x40});
        const auto passed = waitForPassedNote();
        if (!passed) {
            state.SkipWithError("a note did not come out");
            break;
        }
        latencies.push_back(*passed - injected);
    }
    host->Release();
    if (latencies.empty())
        return;
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return microseconds(latencies[std::size_t(q * double(latencies.size() - 1))]);
    };
    state.counters["latency_p50_us"] = at(0.5);
    state.counters["latency_p99_us"] = at(0.99);
    state.counters["latency_max_us"] = microseconds(latencies.back());
}
BENCHMARK(BM_ThruLatency)->Iterations(5000)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return dorvo2bench::runBenchmarks(argc, argv);
}
