// Several threads send to two output ports while two inputs deliver into filters, one of them
// passing MIDI Thru on to an output, and the GUI thread changes filters, the thru channel and a
// third port meanwhile. Nothing may deadlock, and every port must receive whole messages: none
// lost, none cut into by another sender.
#include "ClientIUnknown.h"
#include "PortServiceTestObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <numeric>
#include <thread>

using namespace dorvo2test;
using namespace std::chrono_literals;

namespace {

constexpr int kSenders = 4;
constexpr int kEventsPerSender = 4000;
constexpr auto kRunTime = 3s;
constexpr BYTE kThruChannel = 15;
constexpr BYTE kSysexTag = 0x10;
const std::string kLoopback3 = "Dorvo Loopback 3";

// What one sender put on the wire of one port, identified by a running number per port.
struct SenderLog {
    int sent[2] = {0, 0};
};

// Sender `sender`'s k-th event to a port: a parameter number carrying sender and k, or every
// eighth time (and first of all, a long one split into chunks) a system-exclusive message.
bool isSysex(int k) {
    return k == 0 || k % 8 == 7;
}

std::size_t sysexLength(int k) {
    return k == 0 ? 6000 : 20 + std::size_t(k % 50);
}

Bytes sysexPayload(int sender, int k) {
    Bytes bytes(sysexLength(k));
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = BYTE(i & 0x7F);
    bytes[0] = BYTE(kSysexTag + sender);
    bytes[1] = BYTE(k >> 7 & 0x7F);
    bytes[2] = BYTE(k & 0x7F);
    bytes.back() = 0xF7;
    return bytes;
}

MPEVENT eventFor(int sender, int k, DWORD port, Bytes& sysex) {
    MPEVENT event{};
    event.port = port;
    if (isSysex(k)) {
        sysex = sysexPayload(sender, k);
        event.type = MPEVENT_SYSEX;
        event.dataLength = DWORD(sysex.size());
        event.longData = sysex.data();
    } else {
        event.type = MPEVENT_NRPN;
        event.channel = DWORD(sender);
        const BYTE values[4] = {BYTE(sender), BYTE(k >> 14 & 0x7F), BYTE(k >> 7 & 0x7F),
                                BYTE(k & 0x7F)};
        std::copy(std::begin(values), std::end(values), event.data);
    }
    return event;
}

// Reads one port's record back into the senders' running numbers and the thru messages.
class WireCheck {
public:
    explicit WireCheck(const std::vector<vm::SentMessage>& sent) : m_sent(sent) {}

    void run() {
        while (m_at < m_sent.size() && !::testing::Test::HasFatalFailure())
            m_sent[m_at].longMessage ? readSysex() : readShort();
    }

    std::map<int, std::vector<int>> numbersOf; // per sender, in wire order
    std::vector<Bytes> thru;                   // thru channel, all notes off left out

private:
    void readSysex() {
        Bytes whole = m_sent[m_at].bytes;
        ASSERT_EQ(whole.front(), 0xF0) << "a chunk without its start at " << m_at;
        // A split message's chunks follow one another with nothing in between.
        while (whole.back() != 0xF7) {
            ++m_at;
            ASSERT_LT(m_at, m_sent.size()) << "a cut-off system-exclusive message";
            ASSERT_TRUE(m_sent[m_at].longMessage) << "a short message inside a long one";
            whole.insert(whole.end(), m_sent[m_at].bytes.begin(), m_sent[m_at].bytes.end());
        }
        ++m_at;
        ASSERT_GE(whole.size(), 5u);
        const int sender = whole[1] - kSysexTag;
        const int k = whole[2] << 7 | whole[3];
        ASSERT_EQ(Bytes(whole.begin() + 1, whole.end()), sysexPayload(sender, k));
        numbersOf[sender].push_back(k);
    }

    void readShort() {
        const Bytes& message = m_sent[m_at].bytes;
        ASSERT_EQ(message.size(), 3u);
        const BYTE channel = message[0] & 0x0F;
        if ((message[0] & 0xF0) == 0xB0 && message[1] == 123) {
            ++m_at;
            return;
        }
        if (channel == kThruChannel) {
            thru.push_back(message);
            ++m_at;
            return;
        }
        readParameterNumber(channel);
    }

    void readParameterNumber(BYTE channel) {
        static constexpr BYTE kControllers[4] = {99, 98, 6, 38};
        ASSERT_LE(m_at + 4, m_sent.size()) << "a cut-off parameter number";
        BYTE values[4];
        for (int i = 0; i < 4; ++i) {
            const vm::SentMessage& part = m_sent[m_at + std::size_t(i)];
            ASSERT_FALSE(part.longMessage);
            ASSERT_EQ(part.bytes, (Bytes{BYTE(0xB0 | channel), kControllers[i], part.bytes[2]}))
                << "message " << m_at + std::size_t(i) << " interleaved into a parameter number";
            values[i] = part.bytes[2];
        }
        ASSERT_EQ(values[0], channel);
        numbersOf[channel].push_back(values[1] << 14 | values[2] << 7 | values[3]);
        m_at += 4;
    }

    const std::vector<vm::SentMessage>& m_sent;
    std::size_t m_at = 0;
};

class PortConcurrencyTest : public testing::Test {
protected:
    static void SetUpTestSuite() { useVirtualDevices(); }
    void SetUp() override {
        vm::reset();
        vm::addLoopback(kLoopback3);
        for (const std::string* name : {&kLoopback1, &kLoopback2}) {
            inPorts.push_back(portNumberOf(TMIDIPortAccessor::kInput, *name));
            outPorts.push_back(portNumberOf(TMIDIPortAccessor::kOutput, *name));
        }
        flappingPort = portNumberOf(TMIDIPortAccessor::kOutput, kLoopback3);
        // One watcher per input: each input takes the Workspace's filters when it opens.
        FakeWorkspace workspace;
        host->setWorkspaceWindow(&workspace);
        for (std::size_t input = 0; input < 2; ++input) {
            workspace.filters = {&watchers[input]};
            ASSERT_TRUE(host->openPort(false, inPorts[input]));
        }
        host->setWorkspaceWindow(nullptr);
        for (int port : outPorts)
            ASSERT_TRUE(host->openPort(true, port));
        // Loopback 1 comes back in and goes on to Loopback 2 on the thru channel.
        ASSERT_TRUE(host->addThruRoute(inPorts[0], outPorts[1]));
        host->setThruChannel(kThruChannel + 1);
        vm::clearSent(kLoopback2);
    }
    void TearDown() override {
        host->Release();
        vm::reset();
    }

    ClientIUnknown* host = new ClientIUnknown;
    std::vector<int> inPorts, outPorts;
    int flappingPort = 0;
    RecordingFilter watchers[2];
};

TEST_F(PortConcurrencyTest, SendersInputsAndThruKeepEveryMessageWhole) {
    std::atomic<bool> stop{false};
    std::atomic<int> unexpectedResults{0};
    SenderLog logs[kSenders];
    std::vector<std::thread> threads;
    for (int sender = 0; sender < kSenders; ++sender) {
        threads.emplace_back([&, sender] {
            const auto end = std::chrono::steady_clock::now() + kRunTime;
            Bytes sysex;
            for (int i = 0; i < kEventsPerSender && std::chrono::steady_clock::now() < end; ++i) {
                const int target = (i + sender) % 2;
                int& k = logs[sender].sent[target];
                const MPEVENT event = eventFor(sender, k, DWORD(outPorts[target]), sysex);
                if (host->sendEvent(&event, 1) != S_OK)
                    unexpectedResults.fetch_add(1);
                ++k;
                std::this_thread::sleep_for(500us);
            }
        });
    }
    // A port that opens and closes under a sender's feet: either answer is fine, a crash or a
    // torn message is not.
    threads.emplace_back([&] {
        MPEVENT note{};
        note.type = MPEVENT_NOTEON;
        note.port = DWORD(flappingPort);
        note.data[0] = 0x3C;
        note.data[1] = 0x40;
        while (!stop.load()) {
            const HRESULT result = host->sendEvent(&note, 1);
            if (result != S_OK && result != E_FAIL)
                unexpectedResults.fetch_add(1);
            std::this_thread::sleep_for(200us);
        }
    });

    // The GUI thread's part: filters come and go, the thru channel is set again, a port flaps.
    RecordingFilter passing;
    const auto end = std::chrono::steady_clock::now() + kRunTime;
    for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
        host->registerEventFilter(&passing);
        std::this_thread::sleep_for(5ms);
        host->removeEventFilter(&passing);
        if (round % 2 == 0)
            host->openPort(true, flappingPort);
        else
            host->closePort(true, flappingPort);
        if (round % 10 == 0)
            host->setThruChannel(kThruChannel + 1);
    }
    for (int sender = 0; sender < kSenders; ++sender)
        threads[std::size_t(sender)].join();
    stop = true;
    threads.back().join();
    EXPECT_EQ(unexpectedResults.load(), 0);

    // Let the inputs and the thru path drain: until the first input stops receiving.
    std::size_t seen = 0;
    for (int quiet = 0; quiet < 20; ++quiet) {
        std::this_thread::sleep_for(20ms);
        if (watchers[0].callCount() != seen) {
            seen = watchers[0].callCount();
            quiet = 0;
        }
    }

    for (int target = 0; target < 2; ++target) {
        const std::string& device = target == 0 ? kLoopback1 : kLoopback2;
        SCOPED_TRACE(device);
        const auto sent = vm::sentMessages(device);
        WireCheck check(sent);
        check.run();
        ASSERT_FALSE(HasFatalFailure());
        for (int sender = 0; sender < kSenders; ++sender) {
            std::vector<int> expected(std::size_t(logs[sender].sent[target]));
            std::iota(expected.begin(), expected.end(), 0);
            EXPECT_EQ(check.numbersOf[sender], expected) << "sender " << sender;
        }
        if (target == 0) {
            EXPECT_TRUE(check.thru.empty());
            continue;
        }
        // Thru passed every short event the first input delivered, in delivery order.
        std::vector<Bytes> delivered;
        for (const FilteredEvent& got : watchers[0].calls()) {
            if (!got.found || !(got.event.type & MPEVENT_MASK_SHORT))
                continue;
            EXPECT_EQ(got.event.type, MPEVENT_CONTROLCHANGE);
            delivered.push_back({BYTE(0xB0 | kThruChannel), got.event.data[0], got.event.data[1]});
        }
        EXPECT_GT(delivered.size(), 0u);
        EXPECT_EQ(check.thru, delivered);
    }

    // Each input stamped its events in increasing order.
    for (RecordingFilter& watcher : watchers) {
        const auto calls = watcher.calls();
        EXPECT_GT(calls.size(), 0u);
        for (std::size_t i = 1; i < calls.size(); ++i)
            ASSERT_GT(calls[i].event.sequence, calls[i - 1].event.sequence);
    }
}

} // namespace
