// MIDI Thru through a JACK server that has xruns: a client of the test sleeps in its process
// callback now and then, longer than a period, while 100,000 numbered notes go from a probe
// client through a Workspace input, its Thru filter and a Workspace output back to the probe.
// Each note must come back exactly once, and the server must have reported xruns. The server
// is a private one in the asynchronous mode of a musician's server, with periods long enough
// (2048 frames) that on a machine without real-time scheduling only the sleeping client is late. (A
// client that waits for the sleeping one loses a period's input and has its last output read
// twice, whatever it is: that is the server's doing, and shows for a plain pass-through client
// as much as for the Workspace.)
#include "ClientIUnknown.h"
#include "DevicePortNumber.h"
#include "JackNoteProbe.h"
#include "JackTestClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

using namespace dorvo2test;

namespace {

constexpr std::size_t kNotes = 100'000;
constexpr int kThru = 0; // the probe's return port

std::string serverName() {
    return std::string(std::getenv("JACK_DEFAULT_SERVER") ? std::getenv("JACK_DEFAULT_SERVER")
                                                          : "default");
}

int fixtureScript(const char* action, const char* options = "") {
    const std::string command = std::string("sh '") + DORVO2_JACK_FIXTURE_SCRIPT + "' " + action +
                                " " + serverName() + " " + DORVO2_JACK_STATE_DIR + options;
    return std::system(command.c_str());
}

// Sleeps in its process callback for one and a half periods in every 50th period.
class SleepyClient {
public:
    SleepyClient() {
        jack_status_t status{};
        m_client = jack_client_open("dorvo-xrun-sleeper", JackNoStartServer, &status);
        if (m_client && (jack_set_process_callback(m_client, &SleepyClient::process, this) != 0 ||
                         jack_set_xrun_callback(m_client, &SleepyClient::xrun, this) != 0 ||
                         jack_activate(m_client) != 0)) {
            jack_client_close(m_client);
            m_client = nullptr;
        }
    }
    ~SleepyClient() {
        if (m_client) {
            jack_deactivate(m_client);
            jack_client_close(m_client);
        }
    }
    bool isOpen() const { return m_client != nullptr; }
    std::size_t xruns() const { return m_xruns.load(); }

private:
    static int process(jack_nframes_t frames, void* arg) {
        auto* self = static_cast<SleepyClient*>(arg);
        if (++self->m_cycles % 50 == 0) {
            const auto rate = jack_get_sample_rate(self->m_client);
            std::this_thread::sleep_for(std::chrono::microseconds(1'500'000ull * frames / rate));
        }
        return 0;
    }
    static int xrun(void* arg) {
        ++static_cast<SleepyClient*>(arg)->m_xruns;
        return 0;
    }
    jack_client_t* m_client = nullptr;
    std::uint64_t m_cycles = 0;
    std::atomic<std::size_t> m_xruns{0};
};

// The server's log lines about clients other than the sleeping one that missed a period: a
// late client loses a period's input whatever its code does.
std::string lateClients() {
    std::ifstream log(std::string(DORVO2_JACK_STATE_DIR) + "/jackd-" + serverName() + ".log");
    std::string line, late;
    while (std::getline(log, line)) {
        if (line.find("was not finished") != std::string::npos &&
            line.find("dorvo-xrun-sleeper") == std::string::npos)
            late += "\n" + line;
    }
    return late.empty() ? std::string() : "; the server says:" + late;
}

class ThruXrunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fixtureScript("start", " 2048 async")); }
    static void TearDownTestSuite() { fixtureScript("stop"); }
};

} // namespace

TEST_F(ThruXrunTest, EveryNoteComesBackOnceThroughXruns) {
    JackNoteProbe probe("dorvo-xrun-probe", 1);
    ASSERT_TRUE(probe.isOpen());
    auto* host = new ClientIUnknown;
    const int inPort = portNumberOf(0, probe.outPortName());
    const int outPort = portNumberOf(1, probe.backPortName(kThru));
    ASSERT_GT(inPort, 0);
    ASSERT_GT(outPort, 0);
    ASSERT_TRUE(host->openPort(false, inPort) && host->openPort(true, outPort) &&
                host->addThruRoute(inPort, outPort));
    SleepyClient sleeper;
    ASSERT_TRUE(sleeper.isOpen());

    probe.play(kNotes, 200, 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (probe.arrivals(kThru) < kNotes && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // a late double would show now
    host->Release();

    EXPECT_EQ(probe.played(), kNotes);
    EXPECT_GT(sleeper.xruns(), 0u) << "the server had no xrun: the test proves nothing";
    std::size_t lost = 0, doubled = 0, firstLost = kNotes, firstDoubled = kNotes;
    for (std::size_t note = 0; note < kNotes; ++note) {
        const std::uint32_t times = probe.timesBack(kThru, note);
        if (times == 0 && lost++ == 0)
            firstLost = note;
        if (times > 1 && doubled++ == 0)
            firstDoubled = note;
    }
    EXPECT_EQ(lost, 0u) << "the first lost note is " << firstLost << lateClients();
    EXPECT_EQ(doubled, 0u) << "the first doubled note is " << firstDoubled;
}
