// The Demo Synth against the simulated synthesizer of the virtual devices: synchronization both
// ways with progress, recall items, live edits from its page, off-line editing, its saved state,
// cancelling and failing transfers.
#include "DemoSynthIds.h"
#include "ExampleTestSupport.h"
#include "TMIDIPortAccessor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSlider>
#include <QSpinBox>
#include <QUrl>
#include <QtEndian>

#include <future>

using namespace exampletest;
using namespace std::chrono_literals;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

// The synthesizer's factory preset "Demo Brass", block by block (PROTOCOL.md).
const std::vector<int> kPresetOscillators = {0, 2, 100, 0, 2, 70, 90, 0};
const std::vector<int> kPresetFilter = {0, 72, 24, 88, 64, 10, 20, 0};
const std::vector<int> kPresetEnvelopes = {12, 60, 96, 30, 8, 50, 40, 30};
const char* const kOscillatorKeys[] = {"osc1Wave",   "osc1Octave", "osc1Level", "osc2Wave",
                                       "osc2Octave", "osc2Detune", "osc2Level", "noiseLevel"};
const char* const kFilterKeys[] = {"filterType",  "cutoff", "resonance", "envelopeAmount",
                                   "keyTracking", "drive",  "lfoRate",   "lfoDepth"};
const char* const kEnvelopeKeys[] = {"ampAttack",     "ampDecay",     "ampSustain",
                                     "ampRelease",    "filterAttack", "filterDecay",
                                     "filterSustain", "filterRelease"};

// CRC-32 (IEEE), as the state frame carries it.
QByteArray crc32BigEndian(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    crc ^= 0xFFFFFFFFu;
    QByteArray result(4, '\0');
    qToBigEndian(crc, result.data());
    return result;
}

class DemoSynthTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        openPort(kIn, kSynth);
        openPort(kOut, kSynth);
        synth = create(CLSID_DemoSynth, QStringLiteral("Demo Synth 1"));
        synth->showPage();
        sync = synth->query<IMPDeviceSync2>(IID_IMPDeviceSync2);
        ASSERT_NE(sync, nullptr);
    }
    void TearDown() override {
        synth.reset();
        HostFixture::TearDown();
    }

    void useSynthPorts(const std::string& in = kSynth, const std::string& out = kSynth) {
        ASSERT_TRUE(synth->choosePort(QStringLiteral("inputPort"), in));
        ASSERT_TRUE(synth->choosePort(QStringLiteral("outputPort"), out));
    }
    // The value a control of the page shows: a combo box's index or a slider's value.
    int shown(const char* key) const {
        if (auto* combo = synth->child<QComboBox>(QString::fromLatin1(key)))
            return combo->currentIndex();
        if (auto* slider = synth->child<QSlider>(QString::fromLatin1(key)))
            return slider->value();
        ADD_FAILURE() << "no control " << key;
        return -1;
    }
    std::vector<int> shownBlock(const char* const (&keys)[8]) const {
        std::vector<int> values;
        for (const char* key : keys)
            values.push_back(shown(key));
        return values;
    }
    // Synchronize on a worker thread, as the host calls it.
    HRESULT synchronize(DWORD direction, DWORD mask, RecordingProgress* progress) {
        auto result = std::async(
            std::launch::async, [=, this] { return sync->Synchronize(direction, progress, mask); });
        EXPECT_TRUE(waitUntil([&] { return result.wait_for(0ms) == std::future_status::ready; }));
        return result.get();
    }

    std::unique_ptr<HostedComponent> synth;
    IMPDeviceSync2* sync = nullptr;
};

TEST_F(DemoSynthTest, SynchronizesFromTheSynthesizerWithGrowingProgress) {
    useSynthPorts();
    EXPECT_EQ(portUsers(kIn, kSynth), QStringLiteral("Demo Synth 1 MIDI In"));
    EXPECT_EQ(portUsers(kOut, kSynth), QStringLiteral("Demo Synth 1 MIDI Out"));
    EXPECT_NE(shownBlock(kFilterKeys), kPresetFilter) << "the editor starts with its own values";

    RecordingProgress progress;
    ASSERT_EQ(synchronize(0, 0, &progress), S_OK);
    EXPECT_TRUE(waitUntil([&] { return shownBlock(kFilterKeys) == kPresetFilter; }));
    EXPECT_EQ(shownBlock(kOscillatorKeys), kPresetOscillators);
    EXPECT_EQ(shownBlock(kEnvelopeKeys), kPresetEnvelopes);

    const auto reports = progress.reports();
    ASSERT_GE(reports.size(), 4u);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].total, 3u);
        EXPECT_FALSE(reports[i].message.isEmpty());
        if (i > 0) {
            EXPECT_GE(reports[i].progress, reports[i - 1].progress);
        }
    }
    EXPECT_EQ(reports.front().progress, 0u);
    EXPECT_EQ(reports.back().progress, 3u);
    EXPECT_TRUE(reports.front().message.contains(QStringLiteral("Oscillators")));

    // Only the recall item asked for: the editor's envelopes, changed meanwhile, stay.
    synth->child<QCheckBox>(QStringLiteral("offline"))->setChecked(true);
    synth->child<QSlider>(QStringLiteral("ampAttack"))->setValue(1);
    synth->child<QSlider>(QStringLiteral("cutoff"))->setValue(1);
    ASSERT_EQ(synchronize(0, 0x2, &progress), S_OK); // item 2: Filter
    EXPECT_TRUE(waitUntil([&] { return shown("cutoff") == 72; }));
    EXPECT_EQ(shown("ampAttack"), 1);
    EXPECT_EQ(sentLongMessages(kSynth).back(), (Bytes{0xF0, 0x7D, 0x31, 0x00, 0x10, 0x01, 0xF7}));
}

TEST_F(DemoSynthTest, SendsToTheSynthesizerWhatTheSynthesizerThenGivesBack) {
    useSynthPorts();
    synth->child<QCheckBox>(QStringLiteral("offline"))->setChecked(true);
    synth->child<QComboBox>(QStringLiteral("filterType"))->setCurrentIndex(2);
    synth->child<QSlider>(QStringLiteral("cutoff"))->setValue(5);
    synth->child<QSlider>(QStringLiteral("lfoDepth"))->setValue(127);
    vm::clearSent(kSynth);

    RecordingProgress progress;
    ASSERT_EQ(synchronize(1, 0x2 | 0x4, &progress), S_OK); // Filter and Envelopes
    const auto sent = sentLongMessages(kSynth);
    ASSERT_EQ(sent.size(), 2u);
    // Filter 2 5 0 64 0 0 40 127: 1 + 8 + 238 = 247, checksum 256 - 247 = 9.
    EXPECT_EQ(sent[0], (Bytes{0xF0, 0x7D, 0x31, 0x00, 0x11, 0x01, 0x08, 2, 5, 0, 64, 0, 0, 40, 127,
                              0x09, 0xF7}));
    EXPECT_EQ(progress.reports().back().progress, 2u);
    EXPECT_EQ(progress.reports().back().total, 2u);

    // The editor forgets, the synthesizer remembers.
    synth->child<QSlider>(QStringLiteral("cutoff"))->setValue(99);
    ASSERT_EQ(synchronize(0, 0x2, &progress), S_OK);
    EXPECT_TRUE(waitUntil([&] { return shown("cutoff") == 5; }));
    EXPECT_EQ(shownBlock(kFilterKeys), (std::vector<int>{2, 5, 0, 64, 0, 0, 40, 127}));
}

TEST_F(DemoSynthTest, PageEditsGoOutLiveUnlessOffLineAndTheSynthesizersPanelComesIn) {
    useSynthPorts();
    vm::clearSent(kSynth);
    synth->child<QSlider>(QStringLiteral("resonance"))->setValue(33);
    synth->child<QComboBox>(QStringLiteral("osc2Wave"))->setCurrentIndex(3);
    EXPECT_TRUE(waitUntil([] { return sentLongMessages(kSynth).size() >= 2; }));
    EXPECT_EQ(sentLongMessages(kSynth),
              (std::vector<Bytes>{{0xF0, 0x7D, 0x31, 0x00, 0x12, 0x01, 0x02, 33, 0xF7},
                                  {0xF0, 0x7D, 0x31, 0x00, 0x12, 0x00, 0x03, 3, 0xF7}}));

    auto* offline = synth->child<QCheckBox>(QStringLiteral("offline"));
    offline->setChecked(true);
    BOOL isOffline = FALSE;
    ASSERT_EQ(sync->GetRecallInfo(nullptr, nullptr, nullptr, &isOffline, nullptr), S_OK);
    EXPECT_TRUE(isOffline);
    synth->child<QSlider>(QStringLiteral("resonance"))->setValue(34);
    // On-line again: the next edit goes out, and one port sends in order, so an off-line edit
    // that had gone out would be recorded before it.
    offline->setChecked(false);
    synth->child<QSlider>(QStringLiteral("drive"))->setValue(12);
    EXPECT_TRUE(waitUntil([] { return sentLongMessages(kSynth).size() >= 3; }));
    const auto sent = sentLongMessages(kSynth);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2], (Bytes{0xF0, 0x7D, 0x31, 0x00, 0x12, 0x01, 0x05, 12, 0xF7}));

    // Turned on the synthesizer itself: its parameter change arrives on the input.
    vm::inject(kSynth, {0xF0, 0x7D, 0x31, 0x00, 0x12, 0x02, 0x03, 0x55, 0xF7});
    EXPECT_TRUE(waitUntil([&] { return shown("ampRelease") == 0x55; }));
    // Out of range for a choice: brought into range, never past the list.
    vm::inject(kSynth, {0xF0, 0x7D, 0x31, 0x00, 0x12, 0x01, 0x00, 0x40, 0xF7});
    EXPECT_TRUE(waitUntil([&] { return shown("filterType") == 2; }));
}

TEST_F(DemoSynthTest, TellsTheHostItsRecallItemsIconsAndTexts) {
    DWORD mode = 0, group = 99, mask = 99;
    LPWSTR names = nullptr;
    BOOL offline = TRUE;
    ASSERT_EQ(sync->GetRecallInfo(&mode, &names, &group, &offline, &mask), S_OK);
    EXPECT_EQ(mode & 0x80000000u, 0x80000000u) << "items are toggled one by one";
    EXPECT_EQ(QString::fromUtf16(names), QStringLiteral("All;Oscillators;Filter;Envelopes"));
    CoTaskMemFree(names);
    EXPECT_EQ(group, 0u);
    EXPECT_FALSE(offline);
    EXPECT_EQ(mask, 0u);
    synth->child<QSpinBox>(QStringLiteral("recallGroup"))->setValue(5);
    ASSERT_EQ(sync->GetRecallInfo(nullptr, nullptr, &group, nullptr, nullptr), S_OK);
    EXPECT_EQ(group, 5u);

    LPWSTR off = nullptr, on = nullptr;
    ASSERT_EQ(sync->GetIconURLs(&off, &on), S_OK);
    const QString offText = QString::fromUtf16(off), onText = QString::fromUtf16(on);
    CoTaskMemFree(off);
    CoTaskMemFree(on);
    EXPECT_NE(offText, onText);
    for (const QString& icon : {offText, onText}) {
        const QUrl url(icon);
        EXPECT_TRUE(url.isLocalFile()) << icon.toStdString();
        EXPECT_TRUE(QFileInfo::exists(url.toLocalFile())) << icon.toStdString();
    }

    LPWSTR text = nullptr;
    ASSERT_EQ(sync->GetStatusText(DEMOSYNTH_E_NOANSWER, &text), S_OK);
    EXPECT_EQ(QString::fromUtf16(text), QStringLiteral("No answer from the synthesizer"));
    CoTaskMemFree(text);
    EXPECT_EQ(sync->GetStatusText(E_FAIL, &text), E_INVALIDARG);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(sync->GetStatusText(E_FAIL, nullptr), E_POINTER);

    // The first-version interface is the same object.
    auto* first = synth->query<IMPDeviceSync>(IID_IMPDeviceSync);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetRecallInfo(nullptr, nullptr, &group, nullptr, nullptr), S_OK);
}

TEST_F(DemoSynthTest, CancellingStopsATransferSoonAndLeavesTheEditorAsItWas) {
    // A synthesizer that thinks a quarter of a second about each request.
    vm::addDevice("Slow Synth", vm::makeDemoSynth({10.0, 250ms}));
    updatePorts();
    openPort(kIn, "Slow Synth");
    openPort(kOut, "Slow Synth");
    useSynthPorts("Slow Synth", "Slow Synth");
    const std::vector<int> before = shownBlock(kOscillatorKeys);

    RecordingProgress progress;
    std::atomic<int> reports{0};
    progress.onReport = [&](const RecordingProgress::Report&) {
        if (++reports == 2)
            sync->CancelSynchronize(); // while the second block is on its way
    };
    auto second = std::async(std::launch::async, [&] {
        while (reports == 0)
            std::this_thread::sleep_for(1ms);
        return sync->Synchronize(0, nullptr, 0); // a second one meanwhile is refused
    });
    EXPECT_EQ(synchronize(0, 0, &progress), MP_SYNC_CANCELLED);
    EXPECT_EQ(second.get(), DEMOSYNTH_E_BUSY);
    EXPECT_LT(sentLongMessages("Slow Synth").size(), 3u) << "the third block was never asked for";
    QCoreApplication::processEvents();
    EXPECT_EQ(shownBlock(kOscillatorKeys), before);
}

TEST_F(DemoSynthTest, FailsWithItsOwnCodesWhenThePortsCannotReachTheSynthesizer) {
    RecordingProgress progress;
    EXPECT_EQ(synchronize(0, 0, &progress), DEMOSYNTH_E_NOOUTPUT);
    EXPECT_EQ(synchronize(7, 0, &progress), E_INVALIDARG);

    // Out to a loopback that comes back on another input: the requests go nowhere.
    openPort(kOut, kLoopback2);
    useSynthPorts(kSynth, kLoopback2);
    EXPECT_EQ(synchronize(1, 0x1, &progress), DEMOSYNTH_E_NOANSWER);
    EXPECT_EQ(synchronize(0, 0x1, &progress), DEMOSYNTH_E_NOANSWER);
    EXPECT_EQ(sentLongMessages(kLoopback2).size(), 4u) << "each asked twice";

    // The synthesizer's port chosen, but not open in the Workspace: nothing can be sent.
    m_host->closePort(true, portNumber(kOut, kSynth));
    useSynthPorts();
    EXPECT_EQ(synchronize(0, 0, &progress), DEMOSYNTH_E_SENDFAILED);
}

TEST_F(DemoSynthTest, StateSurvivesSaveAndLoadAndDamagedStateIsRefused) {
    useSynthPorts();
    synth->child<QCheckBox>(QStringLiteral("offline"))->setChecked(true);
    synth->child<QSpinBox>(QStringLiteral("recallGroup"))->setValue(3);
    synth->child<QSlider>(QStringLiteral("drive"))->setValue(77);
    synth->child<QComboBox>(QStringLiteral("osc1Octave"))->setCurrentIndex(4);
    auto* persist = synth->query<IPersistStream>(IID_IPersistStream);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    const QByteArray state = synth->save();
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    // The frame: magic, version 1, payload length, CRC-32, payload.
    EXPECT_EQ(state.left(6), QByteArray("DSYN\x00\x01", 6));
    ULARGE_INTEGER size{};
    ASSERT_EQ(persist->GetSizeMax(&size), S_OK);
    EXPECT_GE(size.QuadPart, ULONGLONG(state.size()));

    auto other = create(CLSID_DemoSynth, QStringLiteral("Demo Synth 2"));
    ASSERT_EQ(other->load(state), S_OK);
    other->showPage();
    EXPECT_EQ(other->child<QSlider>(QStringLiteral("drive"))->value(), 77);
    EXPECT_EQ(other->child<QComboBox>(QStringLiteral("osc1Octave"))->currentIndex(), 4);
    EXPECT_TRUE(other->child<QCheckBox>(QStringLiteral("offline"))->isChecked());
    EXPECT_EQ(other->child<QSpinBox>(QStringLiteral("recallGroup"))->value(), 3);
    EXPECT_EQ(other->child<QComboBox>(QStringLiteral("outputPort"))->currentText(),
              QString::fromStdString(kSynth));
    EXPECT_TRUE(portUsers(kOut, kSynth).contains(QStringLiteral("Demo Synth 2 MIDI Out")));

    // Damage anywhere is refused, and the component keeps what it had.
    const auto changed = [&](int offset, char value) {
        QByteArray copy = state;
        copy[offset] = value;
        return copy;
    };
    // A sound frame around an unsound value: Osc 1 Wave (0-3) set to 9. The payload holds the
    // two ports (16-byte id, name of 16 characters as 4 + 32 bytes) before the values.
    QByteArray outOfRange = state;
    outOfRange[14 + 2 * (16 + 36)] = 9;
    outOfRange.replace(10, 4, crc32BigEndian(outOfRange.mid(14)));
    const std::vector<std::pair<QByteArray, HRESULT>> damaged = {
        {QByteArray(), DORVO_HR(0x80047D42)},
        {state.left(state.size() - 1), DORVO_HR(0x80047D42)},
        {QByteArray(state).replace(0, 4, "XSYN"), DORVO_HR(0x80047D40)},
        {changed(5, 2), DORVO_HR(0x80047D41)},
        {changed(5, 0), DORVO_HR(0x80047D40)},
        {changed(20, char(state[20] ^ 0x01)), DORVO_HR(0x80047D40)},
        {changed(6, 0x7F), DORVO_HR(0x80047D40)},
        {outOfRange, DORVO_HR(0x80047D40)},
    };
    for (const auto& [bytes, expected] : damaged)
        EXPECT_EQ(other->load(bytes), expected) << bytes.toHex().toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(other->child<QSlider>(QStringLiteral("drive"))->value(), 77);
    LPWSTR text = nullptr;
    ASSERT_EQ(sync->GetStatusText(DORVO_HR(0x80047D40), &text), S_OK);
    EXPECT_TRUE(QString::fromUtf16(text).contains(QStringLiteral("damaged")));
    CoTaskMemFree(text);
}

} // namespace
