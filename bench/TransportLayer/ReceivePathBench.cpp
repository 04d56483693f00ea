// The receive path of one open input on a virtual device: from the driver's input callback
// through the ring, the reader thread and the parser to a sink. Counters: events delivered per
// second, events lost, and callback-to-sink latency (median and 99th percentile). Also the memory
// that one open input holds.
#include "TWinMIDI.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <dorvo/virtualmidi.h>
#include <fstream>
#include <malloc.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const std::string kDevice = "Dorvo Loopback 1";
constexpr int kMaxEvents = 1 << 18; // the sequence number travels in channel and data bytes

// Looked up in the device list directly: the port accessor would write the user's settings.
int inputPortNumber() {
    for (UINT index = 0; index < midiInGetNumDevs(); ++index) {
        MIDIINCAPSW caps{};
        if (midiInGetDevCapsW(index, &caps, sizeof caps) == MMSYSERR_NOERROR &&
            QString::fromUtf16(caps.szPname) == QString::fromStdString(kDevice))
            return int(index) + 1;
    }
    return 0;
}

// Timestamps every event on arrival, indexed by the sequence number it carries.
class LatencySink : public TMIDIReaderRefConInterface {
public:
    explicit LatencySink(const std::vector<Clock::time_point>& sent)
        : m_sent(sent), m_latencies(sent.size()) {}
    void receiveEvent(MPEVENT* event) override {
        const auto now = Clock::now();
        const std::size_t sequence = event->channel << 14 | event->data[1] << 7 | event->data[0];
        if (sequence < m_sent.size())
            m_latencies[sequence] = now - m_sent[sequence];
        m_received.fetch_add(1, std::memory_order_release);
    }
    int received() const { return m_received.load(std::memory_order_acquire); }
    std::vector<Clock::duration> latencies(int count) const {
        return {m_latencies.begin(), m_latencies.begin() + count};
    }

private:
    const std::vector<Clock::time_point>& m_sent;
    std::vector<Clock::duration> m_latencies;
    std::atomic<int> m_received{0};
};

DWORD noteOnCarrying(int sequence) {
    const DWORD status = 0x90 | DWORD(sequence >> 14 & 0x0F);
    return status | DWORD(sequence & 0x7F) << 8 | DWORD(sequence >> 7 & 0x7F) << 16;
}

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void report(benchmark::State& state, const LatencySink& sink, int offered, Clock::duration span) {
    const int received = sink.received();
    auto latencies = sink.latencies(offered);
    latencies.erase(std::remove(latencies.begin(), latencies.end(), Clock::duration::zero()),
                    latencies.end());
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? 0.0
                                 : microseconds(latencies[std::size_t(q * (latencies.size() - 1))]);
    };
    const double seconds = std::chrono::duration<double>(span).count();
    state.counters["offered_per_s"] = offered / seconds;
    state.counters["delivered_per_s"] = received / seconds;
    state.counters["lost"] = offered - received;
    state.counters["latency_p50_us"] = at(0.5);
    state.counters["latency_p99_us"] = at(0.99);
    state.counters["latency_max_us"] = latencies.empty() ? 0.0 : microseconds(latencies.back());
}

void waitForDelivery(const LatencySink& sink, int offered) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (sink.received() < offered && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Hands out events at a given rate the way a device does: in bursts once a millisecond, the
// sender sleeping in between. Rate 0 sends as fast as it can.
class Pacer {
public:
    explicit Pacer(int rate) : m_perTick(rate ? std::max(1, rate / 1000) : 0) {}
    void before(int event) {
        if (m_perTick && event % m_perTick == 0)
            std::this_thread::sleep_until(m_start + std::chrono::milliseconds(event / m_perTick));
    }
    Clock::time_point start() const { return m_start; }

private:
    const int m_perTick;
    const Clock::time_point m_start = Clock::now();
};

// Sends `count` events through `deliver(i)` at range(0) events per second and reports.
template <typename Deliver>
void runReceivePath(benchmark::State& state, Deliver&& deliver, LatencySink& sink,
                    std::vector<Clock::time_point>& sent, int count) {
    const double cpuBefore = processCpuSeconds();
    Pacer pacer(int(state.range(0)));
    for (int i = 0; i < count; ++i) {
        pacer.before(i);
        sent[std::size_t(i)] = Clock::now();
        deliver(i);
    }
    const auto span = Clock::now() - pacer.start();
    waitForDelivery(sink, count);
    state.counters["cpu_ns_per_event"] = (processCpuSeconds() - cpuBefore) * 1e9 / count;
    report(state, sink, count, span);
}

int eventCount(benchmark::State& state) {
    // Two seconds' worth at the rate, within what the sequence number can carry.
    return state.range(0) ? std::min<int>(kMaxEvents, int(state.range(0)) * 2) : kMaxEvents;
}

// Calls the driver's input callback as the MIDI layer would.
void BM_CallbackToSink(benchmark::State& state) {
    const int count = eventCount(state);
    std::vector<Clock::time_point> sent(std::size_t(count), Clock::time_point{});
    for (auto _ : state) {
        LatencySink sink(sent);
        TWinMIDI midi;
        if (!midi.openInput(inputPortNumber(), &sink)) {
            state.SkipWithError("cannot open the virtual input");
            return;
        }
        const auto instance = reinterpret_cast<DWORD_PTR>(&midi);
        runReceivePath(
            state,
            [&](int i) { TWinMIDI::midiInProc(nullptr, MIM_DATA, instance, noteOnCarrying(i), 0); },
            sink, sent, count);
        midi.closeInput();
    }
}
BENCHMARK(BM_CallbackToSink)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(200000)
    ->Arg(400000)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same through the virtual device: bytes injected at the device and delivered by the
// layer's own thread to the callback. The latency includes the layer's part.
void BM_DeviceToSink(benchmark::State& state) {
    const int count = eventCount(state);
    std::vector<Clock::time_point> sent(std::size_t(count), Clock::time_point{});
    for (auto _ : state) {
        LatencySink sink(sent);
        TWinMIDI midi;
        if (!midi.openInput(inputPortNumber(), &sink)) {
            state.SkipWithError("cannot open the virtual input");
            return;
        }
        runReceivePath(
            state,
            [&](int i) {
                const DWORD message = noteOnCarrying(i);
                dorvo::virtualmidi::inject(kDevice,
                                           {std::uint8_t(message), std::uint8_t(message >> 8),
                                            std::uint8_t(message >> 16)});
            },
            sink, sent, count);
        midi.closeInput();
    }
}
BENCHMARK(BM_DeviceToSink)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(200000)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Counts what arrives and checks that each event is the one after the previous (the sequence
// number wraps at kMaxEvents): a gap is counted as that many events lost, a repeat as doubled.
class OrderSink : public TMIDIReaderRefConInterface {
public:
    void receiveEvent(MPEVENT* event) override {
        const int sequence = int(event->channel << 14 | event->data[1] << 7 | event->data[0]);
        const int gap = (sequence - m_expected + kMaxEvents) % kMaxEvents;
        if (gap > kMaxEvents / 2)
            ++m_doubled; // an event from behind
        else
            m_lost += gap;
        m_expected = (sequence + 1) % kMaxEvents;
        m_received.fetch_add(1, std::memory_order_release);
    }
    long received() const { return m_received.load(std::memory_order_acquire); }
    long lost() const { return m_lost; }
    long doubled() const { return m_doubled; }

private:
    int m_expected = 0;
    long m_lost = 0, m_doubled = 0;
    std::atomic<long> m_received{0};
};

// Stand-ins for two compilers: threads that keep a core busy with work that misses the cache.
class BusyThreads {
public:
    explicit BusyThreads(int count) {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this] { spin(); });
    }
    ~BusyThreads() {
        m_stop = true;
        for (auto& thread : m_threads)
            thread.join();
    }

private:
    void spin() {
        std::vector<std::uint32_t> memory(std::size_t(8) << 20);
        std::uint32_t x = 1;
        while (!m_stop) {
            for (int i = 0; i < 4096; ++i) {
                x = x * 1664525u + 1013904223u;
                memory[x % memory.size()] += x;
            }
        }
    }
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// The virtual device's stream at range(0) events per second, range(1) events in all, while
// two busy threads compete for the two cores: nothing may be lost or doubled.
void BM_DeviceToSinkBesideBusyThreads(benchmark::State& state) {
    const int rate = int(state.range(0));
    const long count = state.range(1);
    for (auto _ : state) {
        OrderSink sink;
        TWinMIDI midi;
        if (!midi.openInput(inputPortNumber(), &sink)) {
            state.SkipWithError("cannot open the virtual input");
            return;
        }
        BusyThreads busy(2);
        const auto start = Clock::now();
        const long perTick = rate / 1000;
        for (long i = 0; i < count; ++i) {
            if (i % perTick == 0)
                std::this_thread::sleep_until(start + std::chrono::milliseconds(i / perTick));
            const DWORD message = noteOnCarrying(int(i % kMaxEvents));
            dorvo::virtualmidi::inject(kDevice, {std::uint8_t(message), std::uint8_t(message >> 8),
                                                 std::uint8_t(message >> 16)});
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (sink.received() < count && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        midi.closeInput();
        state.counters["offered_per_s"] = double(count) / seconds;
        state.counters["received"] = double(sink.received());
        state.counters["lost"] = double(count - sink.received());
        state.counters["gaps"] = double(sink.lost());
        state.counters["doubled"] = double(sink.doubled());
    }
}
BENCHMARK(BM_DeviceToSinkBesideBusyThreads)
    ->Args({100000, 10000000})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

std::size_t heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// What one open input holds: heap (buffers, headers, ring) and resident memory right after the
// open, before any input arrived.
void BM_MemoryPerOpenInput(benchmark::State& state) {
    class NullSink : public TMIDIReaderRefConInterface {
        void receiveEvent(MPEVENT*) override {}
    } sink;
    const int port = inputPortNumber();
    for (auto _ : state) {
        const std::size_t heapBefore = heapBytes();
        const long residentBefore = residentBytes();
        TWinMIDI midi;
        if (!midi.openInput(port, &sink)) {
            state.SkipWithError("cannot open the virtual input");
            return;
        }
        state.counters["heap_bytes"] = double(heapBytes() - heapBefore);
        state.counters["resident_bytes"] = double(residentBytes() - residentBefore);
        midi.closeInput();
    }
}
BENCHMARK(BM_MemoryPerOpenInput)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    setenv("DORVO2_MIDI", "virtual", 1);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
