// The receive side: an input stamps each event and hands it to every filter in a queue of its
// own; the queue answers each filter after its own selectors.
#include "ClientIMPEventQueue.h"
#include "PortServiceTestObjects.h"
#include "TAppMIDIIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

using namespace dorvo2test;

namespace {

const Bytes kNoteOn = {0x93, 0x3C, 0x40, 0x00};

// An input on a transport the test feeds.
struct FedInput {
    explicit FedInput(int port) {
        auto fed = std::make_unique<FedTransport>();
        transport = fed.get();
        opened = input.open(port, std::move(fed));
    }
    TAppMIDIIn input;
    FedTransport* transport = nullptr;
    bool opened = false;
};

TEST(EventDeliveryTest, AnInputWithoutFiltersLeavesTheCounterAlone) {
    FedInput in(5);
    ASSERT_TRUE(in.opened);
    const ULONGLONG before = TAppMIDIIn::nextSequence();
    in.transport->feed(kNoteOn);
    EXPECT_EQ(TAppMIDIIn::nextSequence(), before);

    RecordingFilter filter;
    in.input.addFilter(&filter);
    in.input.addFilter(&filter); // listed once
    in.input.addFilter(nullptr);
    in.transport->feed(kNoteOn);
    EXPECT_EQ(TAppMIDIIn::nextSequence(), before + 1);
    const auto calls = filter.calls();
    ASSERT_EQ(calls.size(), 1u);
    const FilteredEvent& got = calls[0];
    EXPECT_EQ(got.result, S_OK);
    EXPECT_TRUE(got.found);
    EXPECT_EQ(got.event.type, MPEVENT_NOTEON);
    EXPECT_EQ(got.event.channel, 3u);
    EXPECT_EQ(got.event.port, 5u);
    EXPECT_EQ(got.event.received, 1u);
    EXPECT_EQ(got.event.sequence, before);
    EXPECT_EQ(Bytes(got.event.data, got.event.data + 2), (Bytes{0x3C, 0x40}));
    EXPECT_EQ(got.info.firstSequence, before);
    EXPECT_EQ(got.info.endSequence, before + 1);
    EXPECT_EQ(got.info.count, 1u);
    EXPECT_EQ(got.info.flags, MPFILTER_LIVEINPUT);

    in.input.removeFilter(&filter);
    EXPECT_FALSE(in.input.hasFilter(&filter));
    in.transport->feed(kNoteOn);
    EXPECT_EQ(filter.callCount(), 1u);
    EXPECT_EQ(TAppMIDIIn::nextSequence(), before + 1);
}

TEST(EventDeliveryTest, EachFilterSeesTheEventAfterItsOwnSelectors) {
    FedInput in(5);
    RecordingFilter otherPort, samePort, plain, notesOff, failing;
    otherPort.selectOnly({4, 6}, {});
    samePort.selectOnly({1, 5}, {0});
    notesOff.typeMask = MPEVENT_NOTEOFF | MPEVENT_SYSEX;
    failing.answer = E_FAIL;
    for (RecordingFilter* filter : {&failing, &otherPort, &plain, &samePort, &notesOff})
        in.input.addFilter(filter);
    in.transport->feed(kNoteOn);

    // A failing filter holds nobody up, and the first filter's selectors do not reach the
    // next one.
    for (RecordingFilter* filter : {&failing, &otherPort, &plain, &samePort, &notesOff})
        ASSERT_EQ(filter->callCount(), 1u);
    EXPECT_FALSE(otherPort.calls()[0].found);
    EXPECT_EQ(otherPort.calls()[0].result, S_OK);
    EXPECT_TRUE(plain.calls()[0].found);
    EXPECT_TRUE(samePort.calls()[0].found);
    EXPECT_FALSE(notesOff.calls()[0].found);
    EXPECT_TRUE(failing.calls()[0].found);

    RecordingFilter otherSelector;
    otherSelector.selectOnly({}, {7});
    in.input.addFilter(&otherSelector);
    in.transport->feed(kNoteOn);
    EXPECT_FALSE(otherSelector.calls()[0].found);
    EXPECT_TRUE(plain.calls()[1].found);
}

TEST(EventDeliveryTest, SystemExclusiveComesAsTheFiltersOwnCopy) {
    FedInput in(2);
    RecordingFilter copying, shortOnly;
    shortOnly.typeMask = MPEVENT_MASK_SHORT;
    // A filter that keeps the queue beyond the call finds nothing in it afterwards, not the
    // transport's bytes, which are gone by then.
    IMPEventQueue* kept = nullptr;
    copying.onFilter = [&](IMPEventQueue* queue) {
        queue->AddRef();
        kept = queue;
    };
    in.input.addFilter(&copying);
    in.input.addFilter(&shortOnly);
    in.transport->feed({0xF0, 0x43, 0x10});
    in.transport->feed({0x20, 0x30, 0xF7});

    ASSERT_EQ(copying.callCount(), 1u);
    const FilteredEvent got = copying.calls()[0];
    EXPECT_TRUE(got.found);
    EXPECT_EQ(got.event.type, MPEVENT_SYSEX);
    EXPECT_EQ(got.event.dataLength, 5u);
    // The filter freed the copy with the task allocator; a pointer into the transport's buffer
    // would be caught there by the address checker.
    EXPECT_EQ(got.longBytes, (Bytes{0x43, 0x10, 0x20, 0x30, 0xF7}));
    EXPECT_FALSE(shortOnly.calls()[0].found);

    ASSERT_NE(kept, nullptr);
    BOOL found = TRUE, more = TRUE;
    MPEVENT event{};
    EXPECT_EQ(kept->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_FALSE(found);
    kept->Release();
}

TEST(EventDeliveryTest, OpeningFailsWithoutAWorkingTransport) {
    TAppMIDIIn refused;
    EXPECT_FALSE(refused.open(1, std::make_unique<FedTransport>(false)));
    TAppMIDIIn missing;
    EXPECT_FALSE(missing.open(1, nullptr));
    // Delivery without an open transport, or of nothing, does nothing.
    RecordingFilter filter;
    missing.addFilter(&filter);
    missing.receiveEvent(nullptr);
    EXPECT_EQ(filter.callCount(), 0u);
}

TEST(EventDeliveryTest, SequenceNumbersStayUniqueAndIncreasingAcrossInputs) {
    constexpr int kInputs = 4;
    constexpr int kEventsEach = 2000;
    RecordingFilter shared;
    std::vector<std::unique_ptr<FedInput>> inputs;
    for (int port = 1; port <= kInputs; ++port) {
        inputs.push_back(std::make_unique<FedInput>(port));
        inputs.back()->input.addFilter(&shared);
    }
    std::vector<std::thread> readers;
    for (auto& in : inputs) {
        readers.emplace_back([&in] {
            for (int i = 0; i < kEventsEach; ++i)
                in->transport->feed(kNoteOn);
        });
    }
    for (std::thread& reader : readers)
        reader.join();

    const auto calls = shared.calls();
    ASSERT_EQ(calls.size(), std::size_t(kInputs * kEventsEach));
    std::set<ULONGLONG> seen;
    std::map<DWORD, ULONGLONG> lastOfPort;
    for (const FilteredEvent& got : calls) {
        EXPECT_TRUE(seen.insert(got.event.sequence).second) << got.event.sequence;
        const auto last = lastOfPort.find(got.event.port);
        if (last != lastOfPort.end()) {
            EXPECT_GT(got.event.sequence, last->second);
        }
        lastOfPort[got.event.port] = got.event.sequence;
    }
    EXPECT_EQ(lastOfPort.size(), std::size_t(kInputs));
}

// ---- The queue on its own ------------------------------------------------------------------

class EventQueueTest : public testing::Test {
protected:
    void SetUp() override {
        stored.type = MPEVENT_SYSEX;
        stored.port = 3;
        stored.selector = 9;
        stored.dataLength = 3;
        stored.longData = bytes;
        ASSERT_EQ(queue->PutEvents(1, &stored), S_OK);
    }
    void TearDown() override { EXPECT_EQ(queue->Release(), 0u); }

    bool found(DWORD mask = MPEVENT_MASK_ALL) {
        BOOL isFound = FALSE, more = TRUE;
        MPEVENT event{};
        EXPECT_EQ(queue->GetFirstEvent(&isFound, &event, &more, mask), S_OK);
        EXPECT_FALSE(more);
        CoTaskMemFree(event.longData);
        return isFound;
    }

    ClientIMPEventQueue* queue = new ClientIMPEventQueue(nullptr);
    BYTE bytes[3] = {1, 2, 0xF7};
    MPEVENT stored{};
};

TEST_F(EventQueueTest, SelectorListsAreCheckedBeforeTheyReplaceTheOldOnes) {
    DWORD otherPorts[] = {1, 2};
    DWORD ownSelector[] = {9};
    const MPSELECTORLIST ports{2, otherPorts}, selectors{1, ownSelector};
    const MPSELECTORLIST broken{1, nullptr}, empty{0, nullptr};
    ASSERT_EQ(queue->SetSelectors(&ports, &selectors), S_OK);
    EXPECT_FALSE(found());
    EXPECT_EQ(queue->SetSelectors(&empty, &broken), E_POINTER);
    EXPECT_EQ(queue->SetSelectors(&broken, nullptr), E_POINTER);
    EXPECT_FALSE(found()); // the refused calls changed nothing
    ASSERT_EQ(queue->SetSelectors(&empty, &selectors), S_OK);
    EXPECT_TRUE(found());
    EXPECT_FALSE(found(MPEVENT_MASK_SHORT));
    ASSERT_EQ(queue->SetSelectors(nullptr, &ports), S_OK);
    EXPECT_FALSE(found());
}

TEST_F(EventQueueTest, NullPointersAndTheUnusedSlotsAnswerWithoutTouchingTheEvent) {
    BOOL isFound = TRUE, more = TRUE;
    MPEVENT event{};
    EXPECT_EQ(queue->GetFirstEvent(nullptr, &event, &more, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->GetFirstEvent(&isFound, nullptr, &more, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->GetFirstEvent(&isFound, &event, nullptr, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->PeekEvent(0, &event, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->GetNextEvent(&isFound, nullptr, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_FALSE(isFound);
    EXPECT_FALSE(more);
    isFound = TRUE;
    EXPECT_EQ(queue->GetNextEvent2(&isFound, &event, nullptr, 0), S_OK);
    EXPECT_FALSE(isFound);
    EXPECT_EQ(queue->GetNextEvent(nullptr, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(queue->QueueSlot9(1, 2), E_FAIL);
    EXPECT_EQ(queue->QueueSlot10(1), E_FAIL);

    // Only a single event is ever stored.
    MPEVENT other{};
    other.type = MPEVENT_NOTEON;
    EXPECT_EQ(queue->PutEvents(2, &other), S_OK);
    EXPECT_EQ(queue->PutEvents(1, nullptr), E_POINTER);
    EXPECT_TRUE(found(MPEVENT_SYSEX));
}

TEST_F(EventQueueTest, ALongEventWithoutBytesComesWithoutBytes) {
    stored.longData = nullptr;
    queue->PutEvents(1, &stored);
    BOOL isFound = FALSE, more = FALSE;
    MPEVENT event{};
    EXPECT_EQ(queue->GetFirstEvent(&isFound, &event, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_TRUE(isFound);
    EXPECT_EQ(event.dataLength, 0u);
    EXPECT_EQ(event.longData, nullptr);
    EXPECT_EQ(event.selector, 9u);
}

} // namespace
