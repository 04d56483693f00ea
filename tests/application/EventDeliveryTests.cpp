// The receive side: an input stamps each event and hands it, in its own queue, to every filter;
// the queue answers each filter after that filter's own selectors.
#include "ClientIMPEventQueue.h"
#include "PortServiceTestObjects.h"
#include "TAppMIDIIn.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace dorvo2test;

namespace {

const Bytes kNoteOn = {0x93, 0x3C, 0x40, 0x00};

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

TEST(EventDeliveryTest, EveryFilterSeesTheStampedEventAfterItsOwnSelectors) {
    FedInput in(5);
    ASSERT_TRUE(in.opened);
    const ULONGLONG before = TAppMIDIIn::nextSequence();
    in.transport->feed(kNoteOn);
    EXPECT_EQ(TAppMIDIIn::nextSequence(), before); // nobody listens: nothing is counted

    RecordingFilter failing, otherPort, plain, samePort, noteOffs;
    failing.answer = E_FAIL;
    otherPort.ports = {4, 6};
    samePort.ports = {1, 5};
    samePort.selectors = {0};
    noteOffs.typeMask = MPEVENT_NOTEOFF | MPEVENT_SYSEX;
    for (RecordingFilter* filter : {&failing, &otherPort, &plain, &plain, &samePort, &noteOffs})
        in.input.addFilter(filter);
    in.input.addFilter(nullptr);
    in.transport->feed(kNoteOn);
    EXPECT_EQ(TAppMIDIIn::nextSequence(), before + 1);

    // A failing filter holds nobody up; the selectors of one do not reach the next.
    const std::pair<RecordingFilter*, bool> expected[] = {{&failing, true},
                                                          {&otherPort, false},
                                                          {&plain, true},
                                                          {&samePort, true},
                                                          {&noteOffs, false}};
    for (const auto& [filter, found] : expected) {
        ASSERT_EQ(filter->callCount(), 1u);
        EXPECT_EQ(bool(filter->calls()[0].found), found);
    }
    const FilteredEvent got = plain.calls()[0];
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

    in.input.removeFilter(&plain);
    EXPECT_FALSE(in.input.hasFilter(&plain));
    in.transport->feed(kNoteOn);
    EXPECT_EQ(plain.callCount(), 1u);
    EXPECT_EQ(failing.callCount(), 2u);
}

TEST(EventDeliveryTest, SystemExclusiveComesAsTheFiltersOwnCopy) {
    FedInput in(2);
    RecordingFilter copying, shortOnly;
    shortOnly.typeMask = MPEVENT_MASK_SHORT;
    IMPEventQueue* kept = nullptr;
    copying.onFilter = [&](IMPEventQueue* queue) {
        queue->AddRef();
        kept = queue;
    };
    in.input.addFilter(&copying);
    in.input.addFilter(&shortOnly);
    in.transport->feed({0xF0, 0x43, 0x10});
    in.transport->feed({0x20, 0x30, 0xF7});

    // The filter freed its copy with the task allocator: a pointer into the transport's buffer
    // would be caught there by the address checker.
    ASSERT_EQ(copying.callCount(), 1u);
    EXPECT_EQ(copying.calls()[0].event.type, MPEVENT_SYSEX);
    EXPECT_EQ(copying.calls()[0].longBytes, (Bytes{0x43, 0x10, 0x20, 0x30, 0xF7}));
    EXPECT_FALSE(shortOnly.calls()[0].found);
    // A queue kept beyond the call no longer points at the transport's bytes.
    BOOL found = TRUE, more = TRUE;
    MPEVENT event{};
    EXPECT_EQ(kept->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_FALSE(found);
    kept->Release();
}

TEST(EventDeliveryTest, SequenceNumbersStayUniqueAndIncreasingAcrossInputs) {
    constexpr int kInputs = 4, kEventsEach = 2000;
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

    std::set<ULONGLONG> seen;
    std::map<DWORD, ULONGLONG> lastOfPort;
    for (const FilteredEvent& got : shared.calls()) {
        EXPECT_TRUE(seen.insert(got.event.sequence).second);
        if (lastOfPort.count(got.event.port)) {
            EXPECT_GT(got.event.sequence, lastOfPort[got.event.port]);
        }
        lastOfPort[got.event.port] = got.event.sequence;
    }
    EXPECT_EQ(seen.size(), std::size_t(kInputs * kEventsEach));
}

TEST(EventDeliveryTest, BadArgumentsGetTheirCodesAndChangeNothing) {
    TAppMIDIIn refused, missing;
    EXPECT_FALSE(refused.open(1, std::make_unique<FedTransport>(false)));
    EXPECT_FALSE(missing.open(1, nullptr));
    missing.receiveEvent(nullptr);

    auto* queue = new ClientIMPEventQueue(nullptr);
    BYTE bytes[] = {1, 0xF7};
    MPEVENT stored{};
    stored.type = MPEVENT_SYSEX;
    stored.port = 3;
    stored.dataLength = 2;
    stored.longData = nullptr; // a length without bytes gives no bytes
    EXPECT_EQ(queue->PutEvents(1, nullptr), E_POINTER);
    EXPECT_EQ(queue->PutEvents(1, &stored), S_OK);
    stored.longData = bytes;
    EXPECT_EQ(queue->PutEvents(2, &stored), S_OK); // stores nothing

    DWORD otherPort[] = {4};
    const MPSELECTORLIST ports{1, otherPort}, broken{1, nullptr}, empty{0, nullptr};
    BOOL found = TRUE, more = TRUE;
    MPEVENT event{};
    EXPECT_EQ(queue->GetFirstEvent(nullptr, &event, &more, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->GetFirstEvent(&found, nullptr, &more, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->GetFirstEvent(&found, &event, nullptr, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->PeekEvent(0, &event, MPEVENT_MASK_ALL), E_FAIL);
    EXPECT_EQ(queue->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(event.dataLength, 0u);
    EXPECT_EQ(event.longData, nullptr);

    ASSERT_EQ(queue->SetSelectors(&ports, nullptr), S_OK);
    EXPECT_EQ(queue->SetSelectors(&empty, &broken), E_POINTER);
    EXPECT_EQ(queue->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_FALSE(found); // the refused call left the port selector in force
    EXPECT_EQ(queue->GetNextEvent(&found, nullptr, &more, MPEVENT_MASK_ALL), S_OK);
    EXPECT_EQ(queue->GetNextEvent2(nullptr, nullptr, nullptr, 0), S_OK);
    EXPECT_FALSE(found || more);
    EXPECT_EQ(queue->QueueSlot9(1, 2), E_FAIL);
    EXPECT_EQ(queue->Release(), 0u);
}

} // namespace
