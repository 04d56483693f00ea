// The seam between the multimedia MIDI functions and the machine's MIDI system. Handle and buffer
// semantics live above it, once; a backend only lists devices and moves bytes.
#pragma once

#include "SendCancellation.h"

#include <dorvo/mmsystem.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dorvo::winmm {

enum class Direction { Input = 0, Output = 1 };

// What an open input device delivers. A backend calls it from a thread of its own that is never
// a real-time one, one call at a time per device, and never again once the device is closed.
class MidiInputSink {
public:
    // Bytes as they came from the device, in order; message boundaries need not be kept.
    virtual void receiveBytes(const std::uint8_t* bytes, std::size_t count) = 0;
    // Bytes were lost between the previous delivery and the next (an overflow on the way).
    virtual void bytesLost() = 0;
    // The device went away: nothing more will arrive.
    virtual void deviceLost(const std::string& reason) = 0;

protected:
    ~MidiInputSink() = default;
};

// An open input device; destroying it closes the device, after which its sink is not called.
class MidiBackendInput {
public:
    virtual ~MidiBackendInput() = default;
};

// The input of a backend whose connection to the MIDI system (ALSA sequencer client, JACK
// client) opens and closes ports; the input keeps the connection alive while it is open.
template <class Connection, class Port> class ConnectionInput final : public MidiBackendInput {
public:
    ConnectionInput(std::shared_ptr<Connection> connection, Port* port)
        : m_connection(std::move(connection)), m_port(port) {}
    ~ConnectionInput() override { m_connection->closeInput(m_port); }

private:
    const std::shared_ptr<Connection> m_connection;
    Port* const m_port;
};

// An open output device. Sends may come from two threads (short messages from the caller,
// long ones from the handle's sender thread); each backend keeps their bytes from interleaving.
class MidiBackendOutput {
public:
    virtual ~MidiBackendOutput() = default;
    // One complete short message of 1 to 3 bytes.
    virtual MMRESULT sendShort(const std::uint8_t* bytes, std::size_t count) = 0;
    // The bytes of one long buffer; returns once the device has taken them all, on failure, or
    // soon after `cancel` is raised.
    virtual MMRESULT sendLong(const std::uint8_t* bytes, std::size_t count,
                              SendCancellation& cancel) = 0;
    // Forget any system-exclusive message left open by a cut-short sendLong.
    virtual void resetStream() {}
    // The device went away (unplugged, server gone): every send fails from now on.
    virtual bool isGone() const = 0;
};

class MidiBackend {
public:
    virtual ~MidiBackend() = default;
    // Takes the devices of one direction as they are now; deviceNames and the opens use that
    // list until the next refresh (a backend whose list stays put may list afresh every time).
    virtual void refreshDevices(Direction direction) { (void)direction; }
    // The devices of one direction; a device's index in this list is its id.
    virtual std::vector<std::string> deviceNames(Direction direction) = 0;
    virtual MMRESULT openInput(UINT index, MidiInputSink& sink,
                               std::unique_ptr<MidiBackendInput>& input) = 0;
    virtual MMRESULT openOutput(UINT index, std::unique_ptr<MidiBackendOutput>& output) = 0;
};

// The backend of this process, chosen at the first call (see BackendChoice).
MidiBackend& midiBackend();

} // namespace dorvo::winmm
