// The SysEx Librarian: a typed dump request captured from the simulated synthesizer, sent back
// with pauses, .syx files written and read (damaged ones refused), its settings and captured
// messages saved, and what it says when it cannot do what it is asked.
#include "ExampleTestSupport.h"
#include "SysExLibrarianIds.h"
#include "TMIDIPortAccessor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>

#include "TestEnvironment.h"

using namespace exampletest;
using namespace std::chrono_literals;

namespace {

constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

// The synthesizer's answer to a request for all blocks: its preset, block by block.
const std::vector<Bytes> kPresetDumps = {
    {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x00, 0x08, 0, 2, 100, 0, 2, 70, 90, 0, 0x70, 0xF7},
    {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x01, 0x08, 0, 72, 24, 88, 64, 10, 20, 0, 0x61, 0xF7},
    {0xF0, 0x7D, 0x31, 0x00, 0x11, 0x02, 0x08, 12, 60, 96, 30, 8, 50, 40, 30, 0x30, 0xF7},
};

QByteArray joined(const std::vector<Bytes>& messages) {
    QByteArray bytes;
    for (const Bytes& message : messages)
        bytes.append(reinterpret_cast<const char*>(message.data()), qsizetype(message.size()));
    return bytes;
}

class SysExLibrarianTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        for (const std::string& device : {kSynth, kLoopback1}) {
            openPort(kIn, device);
            openPort(kOut, device);
        }
        librarian = create(CLSID_SysExLibrarian, QStringLiteral("Librarian"));
        librarian->showPage();
        page = librarian->child<QWidget>(QStringLiteral("sysExLibrarianPage"));
        captured = librarian->child<QListWidget>(QStringLiteral("capturedList"));
        status = librarian->child<QLabel>(QStringLiteral("status"));
        ASSERT_TRUE(page && captured && status);
        folder = QString::fromStdString(dorvo2test::makeTempDir("syx"));
    }
    void TearDown() override {
        librarian.reset();
        HostFixture::TearDown();
    }

    void click(const char* button) {
        librarian->child<QPushButton>(QString::fromLatin1(button))->click();
    }
    void type(const char* field, const QString& text) {
        auto* edit = librarian->child<QLineEdit>(QString::fromLatin1(field));
        edit->setText(text);
        emit edit->editingFinished();
    }
    void setMilliseconds(const char* box, int value) {
        librarian->child<QSpinBox>(QString::fromLatin1(box))->setValue(value);
    }
    bool statusStartsWith(const QString& text) {
        return waitUntil([&] { return status->text().startsWith(text); });
    }
    bool call(const char* slot, const QString& path) {
        bool result = false;
        EXPECT_TRUE(QMetaObject::invokeMethod(page, slot, Qt::DirectConnection,
                                              Q_RETURN_ARG(bool, result), Q_ARG(QString, path)));
        return result;
    }
    QStringList listed() const {
        QStringList rows;
        for (int i = 0; i < captured->count(); ++i)
            rows << captured->item(i)->text();
        return rows;
    }
    // Captures the synthesizer's answer to a request for all its blocks.
    void capturePreset() {
        ASSERT_TRUE(librarian->choosePort(QStringLiteral("inputPort"), kSynth));
        ASSERT_TRUE(librarian->choosePort(QStringLiteral("outputPort"), kSynth));
        type("requestText", QStringLiteral("f0 7d,31 0x00 107F F7"));
        setMilliseconds("quietTime", 250);
        click("requestButton");
        ASSERT_TRUE(statusStartsWith(QStringLiteral("Captured 3 message(s), 51 bytes")))
            << status->text().toStdString();
    }

    std::unique_ptr<HostedComponent> librarian;
    QWidget* page = nullptr;
    QListWidget* captured = nullptr;
    QLabel* status = nullptr;
    QString folder;
};

TEST_F(SysExLibrarianTest, CapturesADumpAndSendsItBackWithPausesBetweenMessages) {
    capturePreset();
    EXPECT_EQ(sentLongMessages(kSynth),
              (std::vector<Bytes>{{0xF0, 0x7D, 0x31, 0x00, 0x10, 0x7F, 0xF7}}));
    EXPECT_EQ(listed(),
              (QStringList{
                  QStringLiteral("1: F0 7D 31 00 11 00 08 00 02 64 00 02 ... F7 (17 bytes)"),
                  QStringLiteral("2: F0 7D 31 00 11 01 08 00 48 18 58 40 ... F7 (17 bytes)"),
                  QStringLiteral("3: F0 7D 31 00 11 02 08 0C 3C 60 1E 08 ... F7 (17 bytes)"),
              }));

    // Back out to another device, 80 ms apart.
    ASSERT_TRUE(librarian->choosePort(QStringLiteral("outputPort"), kLoopback1));
    setMilliseconds("pause", 80);
    click("sendButton");
    ASSERT_TRUE(statusStartsWith(QStringLiteral("Sent 3 of 3 message(s)")))
        << status->text().toStdString();
    // The device takes each message on a thread of its own, a little after the send returned.
    EXPECT_TRUE(waitUntil([] { return vm::sentMessages(kLoopback1).size() >= 3; }));
    const auto sent = vm::sentMessages(kLoopback1);
    ASSERT_EQ(sent.size(), 3u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes, kPresetDumps[i]);
        // The librarian pauses between its send calls; the device takes each message a little
        // after the call, with a delay of its own thread that varies, so the gap it sees is
        // checked with room for that.
        if (i > 0) {
            EXPECT_GE(sent[i].begin - sent[i - 1].begin, 60ms) << "message " << i;
        }
    }
}

TEST_F(SysExLibrarianTest, StopEndsASendBetweenMessages) {
    capturePreset();
    ASSERT_TRUE(librarian->choosePort(QStringLiteral("outputPort"), kLoopback1));
    setMilliseconds("pause", 10000);
    click("sendButton");
    ASSERT_TRUE(statusStartsWith(QStringLiteral("Sent 1 of 3")));
    click("stopButton");
    EXPECT_TRUE(statusStartsWith(QStringLiteral("Stopped after 1 of 3 message(s)")));
    // The device takes the message on a thread of its own, a little after the send returned.
    EXPECT_TRUE(waitUntil([] { return !vm::sentMessages(kLoopback1).empty(); }));
    QThread::msleep(100);
    EXPECT_EQ(vm::sentMessages(kLoopback1).size(), 1u);
    EXPECT_TRUE(librarian->child<QPushButton>(QStringLiteral("sendButton"))->isEnabled());
}

TEST_F(SysExLibrarianTest, ExportsAndImportsSyxFilesAndRefusesDamagedOnes) {
    capturePreset();
    const QString path = folder + QStringLiteral("/preset.syx");
    ASSERT_TRUE(call("exportFile", path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), joined(kPresetDumps));
    file.close();

    click("clearButton");
    ASSERT_TRUE(waitUntil([&] { return captured->count() == 0; }));
    ASSERT_TRUE(call("importFile", path));
    EXPECT_TRUE(
        statusStartsWith(QStringLiteral("Imported 3 message(s), 51 bytes from preset.syx")));
    ASSERT_TRUE(waitUntil([&] { return captured->count() == 3; }));
    const QStringList before = listed();

    const QByteArray good = joined(kPresetDumps);
    const std::vector<std::pair<QByteArray, QString>> damaged = {
        {QByteArray(), QStringLiteral("it holds no system-exclusive message")},
        {QByteArray("\x00", 1) + good, QStringLiteral("byte 0 (0x00) is outside")},
        {good.left(20), QStringLiteral("its last message ends without F7")},
        {good.left(5) + QByteArray("\x90", 1) + good.mid(5),
         QStringLiteral("byte 5 (0x90) is no data byte")},
        {good.left(16) + good, QStringLiteral("byte 16 (0xF0) starts a message")},
        {good + QByteArray("\xF7", 1), QStringLiteral("byte 51 (0xF7) is outside")},
    };
    int number = 0;
    for (const auto& [bytes, reason] : damaged) {
        const QString name = QStringLiteral("damaged%1.syx").arg(++number);
        QFile broken(folder + QLatin1Char('/') + name);
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write(bytes);
        broken.close();
        EXPECT_FALSE(call("importFile", broken.fileName()));
        EXPECT_TRUE(statusStartsWith(name + QStringLiteral(" was not imported: ") + reason))
            << status->text().toStdString();
    }
    EXPECT_FALSE(call("importFile", folder + QStringLiteral("/missing.syx")));
    EXPECT_TRUE(statusStartsWith(QStringLiteral("missing.syx was not imported")));
    EXPECT_FALSE(call("exportFile", folder + QStringLiteral("/no/such/folder/x.syx")));
    EXPECT_TRUE(statusStartsWith(QStringLiteral("x.syx was not written")));
    QCoreApplication::processEvents();
    EXPECT_EQ(listed(), before) << "a refused file changes nothing";
}

TEST_F(SysExLibrarianTest, SaysWhyItCannotRequest) {
    type("requestText", QStringLiteral("F0 7D 31 00 10 7F F7"));
    click("requestButton");
    EXPECT_TRUE(statusStartsWith(QStringLiteral("Choose the MIDI In and MIDI Out ports")));

    ASSERT_TRUE(librarian->choosePort(QStringLiteral("inputPort"), kSynth));
    ASSERT_TRUE(librarian->choosePort(QStringLiteral("outputPort"), kSynth));
    for (const QString& request : {QStringLiteral("F0 7G F7"), QStringLiteral("F0 7D3 F7")}) {
        type("requestText", request);
        click("requestButton");
        EXPECT_TRUE(statusStartsWith(QStringLiteral("The dump request is not hex")))
            << request.toStdString();
    }
    for (const QString& request : {QString(), QStringLiteral("F0 7D 31"),
                                   QStringLiteral("7D 31 F7"), QStringLiteral("F0 7D 90 F7")}) {
        type("requestText", request);
        click("requestButton");
        EXPECT_TRUE(statusStartsWith(QStringLiteral("The dump request must be complete")))
            << request.toStdString();
    }
    EXPECT_TRUE(sentLongMessages(kSynth).empty());

    // Asked of a device that is not there: the request leaves on a loopback nobody listens to.
    ASSERT_TRUE(librarian->choosePort(QStringLiteral("outputPort"), kLoopback2));
    openPort(kOut, kLoopback2);
    type("requestText", QStringLiteral("F0 7D 31 00 10 7F F7"));
    click("requestButton");
    EXPECT_TRUE(statusStartsWith(QStringLiteral("No answer from the device within 2 s")));
    click("sendButton");
    EXPECT_TRUE(statusStartsWith(QStringLiteral("Nothing to send")));
}

TEST_F(SysExLibrarianTest, KeepsItsSettingsAndCaptureInItsStateAndNamesItsPortsAfterTheDevice) {
    capturePreset();
    type("deviceName", QStringLiteral("Brass Synth"));
    EXPECT_EQ(portUsers(kOut, kSynth), QStringLiteral("Librarian Brass Synth Out"));
    EXPECT_EQ(portUsers(kIn, kSynth), QStringLiteral("Librarian Brass Synth In"));
    setMilliseconds("pause", 250);
    const QByteArray state = librarian->save();

    auto other = create(CLSID_SysExLibrarian, QStringLiteral("Librarian 2"));
    ASSERT_EQ(other->load(state), S_OK);
    other->showPage();
    EXPECT_EQ(other->child<QListWidget>(QStringLiteral("capturedList"))->count(), 3);
    EXPECT_EQ(other->child<QSpinBox>(QStringLiteral("pause"))->value(), 250);
    EXPECT_EQ(other->child<QSpinBox>(QStringLiteral("quietTime"))->value(), 250);
    EXPECT_EQ(other->child<QLineEdit>(QStringLiteral("deviceName"))->text(),
              QStringLiteral("Brass Synth"));
    EXPECT_EQ(other->child<QLineEdit>(QStringLiteral("requestText"))->text(),
              QStringLiteral("f0 7d,31 0x00 107F F7"));
    EXPECT_TRUE(portUsers(kOut, kSynth).contains(QStringLiteral("Librarian 2 Brass Synth Out")));

    QByteArray damaged = state;
    damaged[damaged.size() - 3] = char(damaged[damaged.size() - 3] ^ 0x10);
    EXPECT_EQ(other->load(damaged), DORVO_HR(0x80047D40));
    EXPECT_EQ(other->child<QListWidget>(QStringLiteral("capturedList"))->count(), 3);
}

} // namespace
