// Throughput of the receive parser alone, in bytes of device input per second.
#include "TMIDITransport.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

class CountingSink : public TMIDIReaderRefConInterface {
public:
    void receiveEvent(MPEVENT* event) override {
        ++events;
        bytes += event->dataLength;
    }
    std::size_t events = 0;
    std::size_t bytes = 0;
};

class BenchParser : public TMIDITransport {
public:
    explicit BenchParser(TMIDIReaderRefConInterface* sink) { m_sink = sink; }
    bool openInput(int, TMIDIReaderRefConInterface*) override { return false; }
    void closeInput() override {}
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool send(int, const BYTE*, BYTE) override { return false; }
};

// As the driver hands them in: one 4-byte packet per call.
void BM_ParseShortPackets(benchmark::State& state) {
    CountingSink sink;
    BenchParser parser(&sink);
    std::vector<BYTE> packets;
    for (int i = 0; i < 1024; ++i)
        packets.insert(packets.end(), {BYTE(0x90 | (i & 0x0F)), BYTE(i & 0x7F), 0x40, 0x00});
    for (auto _ : state) {
        for (std::size_t at = 0; at < packets.size(); at += 4)
            parser.processInput(4, packets.data() + at);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(packets.size()));
    state.counters["events/s"] =
        benchmark::Counter(double(sink.events), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ParseShortPackets);

// System exclusive in the driver's 4096-byte pieces; a message of range(0) bytes.
void BM_ParseSysex(benchmark::State& state) {
    const std::size_t messageSize = std::size_t(state.range(0));
    std::vector<BYTE> message(messageSize, 0x11);
    message.front() = 0xF0;
    message.back() = 0xF7;
    CountingSink sink;
    BenchParser parser(&sink);
    for (auto _ : state) {
        for (std::size_t at = 0; at < message.size(); at += 4096) {
            const std::size_t chunk = std::min<std::size_t>(4096, message.size() - at);
            parser.processInput(int(chunk), message.data() + at);
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(messageSize));
    if (sink.events != std::size_t(state.iterations()))
        state.SkipWithError("messages were lost");
}
BENCHMARK(BM_ParseSysex)->Arg(256)->Arg(4096)->Arg(65536)->Arg(1 << 20);

} // namespace

BENCHMARK_MAIN();
