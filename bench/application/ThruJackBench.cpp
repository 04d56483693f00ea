// MIDI Thru over a real JACK server against a minimal pass-through client in the same server,
// measured in the same run. A probe client plays single notes at offsets that walk over the
// period; each note goes both through the pass-through client and through a Workspace input,
// its Thru filter and a Workspace output, and comes back to the probe on one port per route.
// Counters, in frames: each route's mean, minimum and maximum latency, its jitter (maximum minus
// minimum, and the 99th percentile minus the minimum), the notes that came more than a quarter
// period late, the extra latency of Thru in periods, and the ratio of the means. The server
// is a private jackd (dummy driver, 48 kHz, 256-frame periods, asynchronous as a musician's
// server runs), started and stopped by the benchmark.
#include "BenchEnvironment.h"
#include "ClientIUnknown.h"
#include "DevicePortNumber.h"
#include "JackNoteProbe.h"
#include "JackTestClient.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <numeric>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using dorvo2test::JackNoteProbe;
using dorvo2test::JackTestClient;

constexpr int kPeriodFrames = 256;
constexpr std::size_t kNotes = 600;
constexpr int kDirect = 0, kThru = 1; // the probe's return ports

class PrivateJackServer {
public:
    PrivateJackServer() : m_name("dorvo2-bench-" + std::to_string(getpid())) {
        m_running = run("start", " " + std::to_string(kPeriodFrames) + " async") == 0;
        setenv("JACK_DEFAULT_SERVER", m_name.c_str(), 1);
    }
    ~PrivateJackServer() {
        if (m_running)
            run("stop", "");
    }
    bool running() const { return m_running; }

private:
    int run(const char* action, const std::string& extra) {
        const std::string command = std::string("sh '") + DORVO2_JACK_FIXTURE_SCRIPT + "' " +
                                    action + " " + m_name + " /tmp/" + m_name + extra +
                                    " >/dev/null";
        return std::system(command.c_str());
    }
    std::string m_name;
    bool m_running = false;
};

struct RouteFigures {
    double mean = 0;
    long minimum = 0, p99 = 0, maximum = 0;
    std::size_t late = 0; // more than a quarter period behind the fastest
    std::size_t lost = 0, doubled = 0;
};

RouteFigures figuresOf(const JackNoteProbe& probe, int port) {
    RouteFigures figures;
    std::vector<long> latencies;
    for (std::size_t note = 0; note < kNotes; ++note) {
        const std::uint32_t times = probe.timesBack(port, note);
        if (times == 0) {
            ++figures.lost;
            continue;
        }
        figures.doubled += times - 1;
        latencies.push_back(long(std::int32_t(probe.backAt(port, note) - probe.sentAt(note))));
    }
    if (latencies.empty())
        return figures;
    figures.mean =
        double(std::accumulate(latencies.begin(), latencies.end(), 0L)) / double(latencies.size());
    std::sort(latencies.begin(), latencies.end());
    figures.minimum = latencies.front();
    figures.p99 = latencies[(latencies.size() - 1) * 99 / 100];
    figures.maximum = latencies.back();
    figures.late = std::size_t(std::count_if(latencies.begin(), latencies.end(), [&](long frames) {
        return frames > figures.minimum + kPeriodFrames / 4;
    }));
    return figures;
}

void report(benchmark::State& state, const char* route, const RouteFigures& figures) {
    const std::string prefix = route;
    state.counters[prefix + "_mean_frames"] = figures.mean;
    state.counters[prefix + "_min_frames"] = double(figures.minimum);
    state.counters[prefix + "_max_frames"] = double(figures.maximum);
    state.counters[prefix + "_jitter_frames"] = double(figures.maximum - figures.minimum);
    state.counters[prefix + "_p99_jitter_frames"] = double(figures.p99 - figures.minimum);
    state.counters[prefix + "_late"] = double(figures.late);
    state.counters[prefix + "_lost"] = double(figures.lost);
    state.counters[prefix + "_doubled"] = double(figures.doubled);
}

void BM_ThruOverJack(benchmark::State& state) {
    PrivateJackServer server;
    if (!server.running()) {
        state.SkipWithError("no private jackd could be started");
        return;
    }
    JackNoteProbe probe("bench_probe", 2);
    JackTestClient pass("bench_pass");
    if (!probe.isOpen() || !pass.isOpen()) {
        state.SkipWithError("the probe or the pass-through client cannot join the server");
        return;
    }
    pass.passThrough(true);
    jack_connect(probe.client(), probe.outPortName().c_str(), pass.inPortName().c_str());
    jack_connect(probe.client(), pass.outPortName().c_str(), probe.backPortName(kDirect).c_str());

    auto* host = new ClientIUnknown;
    const int inPort = portNumberOf(0, probe.outPortName());
    const int outPort = portNumberOf(1, probe.backPortName(kThru));
    if (!host->openPort(false, inPort) || !host->openPort(true, outPort) ||
        !host->addThruRoute(inPort, outPort)) {
        host->Release();
        state.SkipWithError("the thru route cannot be set up");
        return;
    }
    for (auto _ : state) {
        // One note every fourth period, so that each is measured on its own.
        probe.play(kNotes, 1, 4);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((probe.arrivals(kDirect) < kNotes || probe.arrivals(kThru) < kNotes) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // late doubles
    }
    host->Release();
    const RouteFigures direct = figuresOf(probe, kDirect);
    const RouteFigures thru = figuresOf(probe, kThru);
    report(state, "direct", direct);
    report(state, "thru", thru);
    state.counters["period_frames"] = probe.period();
    state.counters["thru_extra_periods"] = (thru.mean - direct.mean) / double(probe.period());
    state.counters["ratio"] = direct.mean > 0 ? thru.mean / direct.mean : 0;
}
BENCHMARK(BM_ThruOverJack)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return dorvo2bench::runBenchmarks(argc, argv, "jack");
}
