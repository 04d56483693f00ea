// Delivery from one input to its event filters: events per second through the receive parser
// and the input to 1, 4 and 16 filters that each read the event, and how many allocations an
// event costs on the way (counted by hooks on operator new and malloc, on the delivering thread
// only).
#include "BenchEnvironment.h"
#include "TAppMIDIIn.h"
#include "TMIDITransport.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

// ---- Allocation counter --------------------------------------------------------------------

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {

thread_local bool countingAllocations = false;
std::atomic<long> allocations{0};

void noteAllocation() {
    if (countingAllocations)
        allocations.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

extern "C" void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, size_t size) {
    noteAllocation();
    return __libc_realloc(pointer, size);
}
extern "C" void free(void* pointer) {
    __libc_free(pointer);
}

void* operator new(size_t size) {
    noteAllocation();
    if (void* pointer = __libc_malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* pointer) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer) noexcept {
    __libc_free(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    __libc_free(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    __libc_free(pointer);
}

namespace {

// An input transport fed on the benchmark's thread, through the real receive parser.
class FedTransport : public TMIDITransport {
public:
    bool openInput(int, TMIDIReaderRefConInterface* sink) override {
        m_sink = sink;
        return true;
    }
    void closeInput() override { m_sink = nullptr; }
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool send(int, const BYTE*, BYTE) override { return false; }
};

// A component's filter that reads every event it is given, as components do, and frees the
// bytes of a long one.
class ReadingFilter : public IMPEventFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE FilterEvents(IMPEventQueue* queue, const MPFILTERINFO*) override {
        BOOL found = FALSE, more = FALSE;
        MPEVENT event;
        queue->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL);
        if (found && (event.type & MPEVENT_MASK_LONG))
            CoTaskMemFree(event.longData);
        eventsFound += found;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFilterInfo(DWORD*, DWORD*, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FilterSlot5(DWORD) override { return S_OK; }

    long eventsFound = 0;
};

void runDelivery(benchmark::State& state, const std::vector<BYTE>& message) {
    const auto filterCount = std::size_t(state.range(0));
    std::vector<ReadingFilter> filters(filterCount);
    TAppMIDIIn input;
    auto owned = std::make_unique<FedTransport>();
    FedTransport* transport = owned.get();
    if (!input.open(1, std::move(owned))) {
        state.SkipWithError("the input does not open");
        return;
    }
    for (ReadingFilter& filter : filters)
        input.addFilter(&filter);
    transport->processInput(int(message.size()), message.data()); // warm up

    allocations = 0;
    countingAllocations = true;
    for (auto _ : state)
        transport->processInput(int(message.size()), message.data());
    countingAllocations = false;

    state.SetItemsProcessed(state.iterations());
    state.counters["allocations_per_event"] =
        double(allocations.load()) / double(state.iterations());
    if (filters.front().eventsFound == 0)
        state.SkipWithError("the filters found nothing");
}

void BM_ShortEventToFilters(benchmark::State& state) {
    runDelivery(state, {0x90, 0x3C, 0x40, 0x00});
}
BENCHMARK(BM_ShortEventToFilters)->Arg(1)->Arg(4)->Arg(16);

// For comparison: a system-exclusive message costs each filter a copy of its bytes.
void BM_SysexToFilters(benchmark::State& state) {
    std::vector<BYTE> sysex(128, 0x11);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    runDelivery(state, sysex);
}
BENCHMARK(BM_SysexToFilters)->Arg(1)->Arg(4)->Arg(16);

} // namespace

int main(int argc, char** argv) {
    return dorvo2bench::runBenchmarks(argc, argv);
}
