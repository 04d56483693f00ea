// Four threads send to two output ports while two inputs deliver into filters, one input also
// passing MIDI Thru on, and the GUI thread changes filters, the thru channel and a third port
// meanwhile. Nothing may deadlock, and each port must receive whole messages: none lost, none
// cut into by another sender's.
#include "ClientIUnknown.h"
#include "PortServiceTestObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <thread>

using namespace dorvo2test;
using namespace std::chrono_literals;

namespace {

constexpr int kSenders = 4, kEventsPerSender = 4000;
constexpr auto kRunTime = 3s;
constexpr BYTE kThruChannel = 15, kSysexTag = 0x10;

// Sender s's k-th event to a port carries s and k: a parameter number (four controllers), or
// every eighth time, and first of all as a long one sent in chunks, a system-exclusive message.
Bytes sysexPayload(int sender, int k) {
    Bytes bytes(k == 0 ? 6000 : 20 + std::size_t(k % 50));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = BYTE(i & 0x7F);
    bytes[0] = BYTE(kSysexTag + sender);
    bytes[1] = BYTE(k >> 7 & 0x7F);
    bytes[2] = BYTE(k & 0x7F);
    bytes.back() = 0xF7;
    return bytes;
}

MPEVENT eventFor(int sender, int k, int port, Bytes& sysex) {
    MPEVENT event{};
    event.port = DWORD(port);
    if (k == 0 || k % 8 == 7) {
        sysex = sysexPayload(sender, k);
        event.type = MPEVENT_SYSEX;
        event.dataLength = DWORD(sysex.size());
        event.longData = sysex.data();
    } else {
        event.type = MPEVENT_NRPN;
        event.channel = DWORD(sender);
        const BYTE values[] = {BYTE(sender), BYTE(k >> 14 & 0x7F), BYTE(k >> 7 & 0x7F),
                               BYTE(k & 0x7F)};
        std::copy(std::begin(values), std::end(values), event.data);
    }
    return event;
}

// Reads a port's record back into each sender's numbers, in wire order, and the thru messages.
struct WireCheck {
    std::map<int, std::vector<int>> numbersOf;
    std::vector<Bytes> thru;

    void run(const std::vector<vm::SentMessage>& sent) {
        for (std::size_t at = 0; at < sent.size() && !testing::Test::HasFailure();)
            at = sent[at].longMessage ? readSysex(sent, at) : readShort(sent, at);
    }
    std::size_t readSysex(const std::vector<vm::SentMessage>& sent, std::size_t at) {
        Bytes whole = sent[at].bytes;
        EXPECT_EQ(whole.front(), 0xF0) << "a chunk without its start at " << at;
        // The chunks of a split message follow one another with nothing in between.
        while (whole.back() != 0xF7 && ++at < sent.size()) {
            EXPECT_TRUE(sent[at].longMessage) << "a short message inside a long one at " << at;
            whole.insert(whole.end(), sent[at].bytes.begin(), sent[at].bytes.end());
        }
        const int sender = whole[1] - kSysexTag, k = whole[2] << 7 | whole[3];
        EXPECT_EQ(Bytes(whole.begin() + 1, whole.end()), sysexPayload(sender, k));
        numbersOf[sender].push_back(k);
        return at + 1;
    }
    std::size_t readShort(const std::vector<vm::SentMessage>& sent, std::size_t at) {
        const Bytes& message = sent[at].bytes;
        const BYTE channel = message[0] & 0x0F;
        if (message[1] == 123 || channel == kThruChannel) { // all notes off, or thru
            if (message[1] != 123)
                thru.push_back(message);
            return at + 1;
        }
        static constexpr BYTE kControllers[4] = {99, 98, 6, 38};
        int values[4] = {};
        for (int i = 0; i < 4; ++i, ++at) {
            if (at >= sent.size()) {
                ADD_FAILURE() << "a cut-off parameter number";
                return at;
            }
            EXPECT_EQ(sent[at].bytes,
                      (Bytes{BYTE(0xB0 | channel), kControllers[i], sent[at].bytes.back()}))
                << "message " << at << " cuts into a parameter number";
            values[i] = sent[at].bytes.back();
        }
        EXPECT_EQ(values[0], channel);
        numbersOf[channel].push_back(values[1] << 14 | values[2] << 7 | values[3]);
        return at;
    }
};

TEST(PortConcurrencyTest, SendersInputsAndThruKeepEveryMessageWhole) {
    useVirtualDevices();
    vm::reset();
    vm::addLoopback(kLoopback3);
    auto* host = new ClientIUnknown;
    const std::string* devices[] = {&kLoopback1, &kLoopback2};
    int inPorts[2], outPorts[2];
    RecordingFilter watchers[2];
    FakeWorkspace workspace;
    host->setWorkspaceWindow(&workspace);
    for (int i = 0; i < 2; ++i) {
        inPorts[i] = portNumberOf(TMIDIPortAccessor::kInput, *devices[i]);
        outPorts[i] = portNumberOf(TMIDIPortAccessor::kOutput, *devices[i]);
        workspace.filters = {&watchers[i]}; // each input gets its own watcher
        ASSERT_TRUE(host->openPort(false, inPorts[i]));
        ASSERT_TRUE(host->openPort(true, outPorts[i]));
    }
    const int flappingPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback3);
    // What is sent to Loopback 1 comes back in and goes on to Loopback 2 on the thru channel.
    ASSERT_TRUE(host->addThruRoute(inPorts[0], outPorts[1]));
    host->setThruChannel(kThruChannel + 1);

    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    int sent[kSenders][2] = {};
    std::vector<std::thread> threads;
    for (int sender = 0; sender < kSenders; ++sender) {
        threads.emplace_back([&, sender] {
            const auto end = std::chrono::steady_clock::now() + kRunTime;
            Bytes sysex;
            for (int i = 0; i < kEventsPerSender && std::chrono::steady_clock::now() < end; ++i) {
                int& k = sent[sender][(i + sender) % 2];
                const MPEVENT event = eventFor(sender, k++, outPorts[(i + sender) % 2], sysex);
                unexpected += host->sendEvent(&event, 1) != S_OK;
                std::this_thread::sleep_for(500us);
            }
        });
    }
    // A port that opens and closes under a sender's feet: either answer will do.
    threads.emplace_back([&] {
        MPEVENT note{};
        note.type = MPEVENT_NOTEON;
        note.port = DWORD(flappingPort);
        while (!stop) {
            const HRESULT result = host->sendEvent(&note, 1);
            unexpected += result != S_OK && result != E_FAIL;
            std::this_thread::sleep_for(200us);
        }
    });
    RecordingFilter passing;
    const auto end = std::chrono::steady_clock::now() + kRunTime;
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
        host->registerEventFilter(&passing);
        std::this_thread::sleep_for(5ms);
        host->removeEventFilter(&passing);
        round % 2 ? host->closePort(true, flappingPort) : void(host->openPort(true, flappingPort));
        if (round % 10 == 0)
            host->setThruChannel(kThruChannel + 1);
    }
    for (int sender = 0; sender < kSenders; ++sender)
        threads[std::size_t(sender)].join();
    stop = true;
    threads.back().join();
    EXPECT_EQ(unexpected, 0);
    // Until the first input has been quiet for a while.
    for (std::size_t seen = 0, quiet = 0; quiet < 20; ++quiet) {
        std::this_thread::sleep_for(20ms);
        if (watchers[0].callCount() != seen)
            seen = watchers[0].callCount(), quiet = 0;
    }

    for (int target = 0; target < 2; ++target) {
        SCOPED_TRACE(*devices[target]);
        WireCheck check;
        check.run(vm::sentMessages(*devices[target]));
        for (int sender = 0; sender < kSenders; ++sender) {
            std::vector<int> expected(std::size_t(sent[sender][target]));
            std::iota(expected.begin(), expected.end(), 0);
            EXPECT_EQ(check.numbersOf[sender], expected) << "sender " << sender;
        }
        // Thru passed every short event the first input delivered, in delivery order.
        std::vector<Bytes> delivered;
        for (const FilteredEvent& got : watchers[0].calls()) {
            if (target == 1 && got.found && (got.event.type & MPEVENT_MASK_SHORT))
                delivered.push_back(
                    {BYTE(0xB0 | kThruChannel), got.event.data[0], got.event.data[1]});
        }
        EXPECT_EQ(check.thru, delivered);
        EXPECT_TRUE(target == 0 || !delivered.empty());
    }
    for (RecordingFilter& watcher : watchers) {
        const auto calls = watcher.calls();
        EXPECT_GT(calls.size(), 0u);
        for (std::size_t i = 1; i < calls.size(); ++i)
            ASSERT_GT(calls[i].event.sequence, calls[i - 1].event.sequence);
    }
    host->Release();
    vm::reset();
}

} // namespace
