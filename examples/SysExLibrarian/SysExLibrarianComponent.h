// The SysEx Librarian, for any device: sends a dump request that the user typed, captures every
// system-exclusive message that arrives until the input has been quiet for a while, sends the
// captured messages back one by one with a pause between them, and imports and exports them
// as .syx files. Captures and sends run on a thread of the component's own.
#pragma once

#include <ExampleComponent.h>

#include <QString>

#include <chrono>
#include <condition_variable>
#include <optional>
#include <thread>

class SysExLibrarianComponent final : public examples::ExampleComponent {
public:
    static constexpr int kMinPause = 0, kMaxPause = 10000, kDefaultPause = 100;
    static constexpr int kMinQuiet = 50, kMaxQuiet = 10000, kDefaultQuiet = 300;
    // Nothing at all within this time after the request: the device did not answer.
    static constexpr std::chrono::milliseconds kAnswerTimeout{2000};
    static constexpr std::size_t kMaxCaptureBytes = 16u << 20;

    SysExLibrarianComponent();
    ~SysExLibrarianComponent() override;

    // ---- For the page (GUI thread; reading from any thread) ----
    QString requestText() const;
    void setRequestText(const QString& text);
    QString deviceName() const;
    // Renames the component's port uses to "<device> In" and "<device> Out".
    void setDeviceName(const QString& name);
    int pause() const;
    void setPause(int milliseconds);
    int quietTime() const;
    void setQuietTime(int milliseconds);
    std::vector<examples::Bytes> captured() const;
    void clearCaptured();
    // What the last operation came to, for the page's status line.
    QString status() const;
    bool isBusy() const;

    // Starts a capture: false (with the reason as status) when the request is no complete
    // system-exclusive message or a port is missing.
    bool request();
    // Starts sending the captured messages: false when there is nothing or no output port.
    bool sendCaptured();
    // Ends a capture or send under way and waits for its thread.
    void stop();
    bool importFile(const QString& path);
    bool exportFile(const QString& path);

protected:
    QString portUsageName(int direction) const override;
    void receive(const MPEVENT& event, const examples::Bytes& longBytes) override;
    void writeState(QDataStream& out) const override;
    HRESULT readState(QDataStream& in, std::uint16_t version) override;
    void disconnecting() override;

private:
    using Clock = std::chrono::steady_clock;

    void startWork(void (SysExLibrarianComponent::*work)());
    void capture();
    void send();
    // Waits for the stop flag or the time; false when stopped.
    bool pauseFor(std::chrono::milliseconds duration);
    void setStatus(const QString& status, unsigned changes = examples::kActivity);

    // Under m_mutex.
    QString m_requestText;
    QString m_deviceName;
    int m_pause = kDefaultPause;
    int m_quietTime = kDefaultQuiet;
    std::vector<examples::Bytes> m_captured;
    QString m_status;
    std::vector<examples::Bytes> m_requestMessages; // what the running capture sends

    // The worker and what the receive thread hands it.
    std::thread m_worker;
    std::mutex m_workMutex;
    std::condition_variable m_workWake;
    bool m_stop = false;
    std::atomic<bool> m_busy{false};
    bool m_capturing = false;
    examples::Bytes m_incoming;
    std::optional<Clock::time_point> m_lastArrival;
};
