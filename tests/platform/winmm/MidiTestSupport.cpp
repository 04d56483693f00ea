#include "MidiTestSupport.h"

#include <QString>

#include <algorithm>

namespace dorvo2test {

namespace {

std::string nameOf(const WCHAR* name) {
    return QString::fromUtf16(name).toStdString();
}

} // namespace

std::vector<std::string> inputNames() {
    std::vector<std::string> names;
    for (UINT i = 0; i < midiInGetNumDevs(); ++i) {
        MIDIINCAPSW caps{};
        EXPECT_EQ(MMSYSERR_NOERROR, midiInGetDevCapsW(i, &caps, sizeof caps));
        names.push_back(nameOf(caps.szPname));
    }
    return names;
}

std::vector<std::string> outputNames() {
    std::vector<std::string> names;
    for (UINT i = 0; i < midiOutGetNumDevs(); ++i) {
        MIDIOUTCAPSW caps{};
        EXPECT_EQ(MMSYSERR_NOERROR, midiOutGetDevCapsW(i, &caps, sizeof caps));
        names.push_back(nameOf(caps.szPname));
    }
    return names;
}

UINT idOf(const std::vector<std::string>& names, const std::string& name) {
    for (UINT i = 0; i < names.size(); ++i) {
        if (names[i] == name)
            return i;
    }
    return kNoDevice;
}

std::vector<std::uint8_t> sysex(std::size_t total, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(total);
    bytes.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < total; ++i)
        bytes[i] = std::uint8_t((i * 7 + i / 128 + seed) & 0x7F);
    bytes.back() = 0xF7;
    return bytes;
}

InputBuffers::InputBuffers(std::size_t count, std::size_t size)
    : m_data(count, std::vector<char>(size)), m_headers(count) {
    for (std::size_t i = 0; i < count; ++i) {
        m_headers[i].lpData = m_data[i].data();
        m_headers[i].dwBufferLength = DWORD(size);
    }
}

void InputBuffers::queue(HMIDIIN in) {
    for (auto& header : m_headers) {
        ASSERT_EQ(MMSYSERR_NOERROR, midiInPrepareHeader(in, &header, sizeof header));
        ASSERT_EQ(MMSYSERR_NOERROR, midiInAddBuffer(in, &header, sizeof header));
    }
}

void InputBuffers::unprepare(HMIDIIN in) {
    for (auto& header : m_headers)
        EXPECT_EQ(MMSYSERR_NOERROR, midiInUnprepareHeader(in, &header, sizeof header));
}

OutputBuffer::OutputBuffer(std::vector<std::uint8_t> content) : bytes(std::move(content)) {
    header.lpData = reinterpret_cast<LPSTR>(bytes.data());
    header.dwBufferLength = DWORD(bytes.size());
}

WarningCapture::WarningCapture() {
    {
        std::lock_guard lock(s_mutex);
        s_warnings.clear();
    }
    s_previous = qInstallMessageHandler(&WarningCapture::handler);
}

WarningCapture::~WarningCapture() {
    qInstallMessageHandler(s_previous.load());
}

std::vector<std::string> WarningCapture::warnings() const {
    std::lock_guard lock(s_mutex);
    return s_warnings;
}

long WarningCapture::count(const std::string& text) const {
    const auto all = warnings();
    return std::count_if(all.begin(), all.end(),
                         [&](const std::string& w) { return w.find(text) != std::string::npos; });
}

void WarningCapture::handler(QtMsgType type, const QMessageLogContext& context,
                             const QString& text) {
    if (type == QtWarningMsg) {
        std::lock_guard lock(s_mutex);
        s_warnings.push_back(text.toStdString());
    }
    if (const QtMessageHandler previous = s_previous.load())
        previous(type, context, text);
}

void MidiLayerFixture::TearDown() {
    for (HMIDIIN in : m_inputs) {
        midiInReset(in);
        midiInClose(in);
    }
    for (HMIDIOUT out : m_outputs) {
        midiOutReset(out);
        midiOutClose(out);
    }
}

HMIDIIN MidiLayerFixture::openInput(const std::string& name, MidiCallbackLog& log) {
    HMIDIIN in = nullptr;
    const UINT id = idOf(inputNames(), name);
    EXPECT_NE(kNoDevice, id) << name;
    EXPECT_EQ(MMSYSERR_NOERROR,
              midiInOpen(&in, id, reinterpret_cast<DWORD_PTR>(&MidiCallbackLog::inputCallback),
                         log.instance(), CALLBACK_FUNCTION));
    if (in)
        m_inputs.push_back(in);
    return in;
}

HMIDIOUT MidiLayerFixture::openOutput(const std::string& name, MidiCallbackLog& log) {
    HMIDIOUT out = nullptr;
    const UINT id = idOf(outputNames(), name);
    EXPECT_NE(kNoDevice, id) << name;
    EXPECT_EQ(MMSYSERR_NOERROR,
              midiOutOpen(&out, id, reinterpret_cast<DWORD_PTR>(&MidiCallbackLog::outputCallback),
                          log.instance(), CALLBACK_FUNCTION));
    if (out)
        m_outputs.push_back(out);
    return out;
}

} // namespace dorvo2test
