// The Demo Synth editor: the synthesizer's parameters, edited live on its page (sent as
// parameter changes unless the editor is off-line), synchronized both ways with dumps, and
// taking part in Recall with one item per parameter block.
#pragma once

#include "DemoSynthMessages.h"
#include "DemoSynthParameters.h"

#include <ExampleComponent.h>

#include <condition_variable>
#include <deque>

class DemoSynthComponent final : public examples::ExampleComponent,
                                 public IMPDeviceSync2,
                                 public IMPDeviceSync {
public:
    static constexpr DWORD kMaxRecallGroup = 15;

    DemoSynthComponent();
    ~DemoSynthComponent() override;

    EXAMPLES_IUNKNOWN

    // IMPDeviceSync2 and IMPDeviceSync (one implementation serves both).
    // Synchronization worker: direction 1 sends the selected blocks to the synthesizer, 0 asks
    // it for them. recallMask 0 means all blocks, else bit n - 1 selects recall item n.
    STDMETHOD(Synchronize)
    (DWORD direction, IMPClientProgressHandler* progress, DWORD recallMask) override;
    STDMETHOD(GetStatusText)(HRESULT result, LPWSTR* text) override;
    // Any thread.
    STDMETHOD(CancelSynchronize)() override;
    STDMETHOD(GetIconURLs)(LPWSTR* recallDisabledIcon, LPWSTR* recallEnabledIcon) override;
    STDMETHOD(GetRecallInfo)
    (DWORD* selectionMode, LPWSTR* itemNames, DWORD* group, BOOL* offline,
     DWORD* defaultMask) override;

    // ---- For the page (GUI thread; reading from any thread) ----
    demosynth::Values values() const;
    // Sends the change to the synthesizer unless off-line.
    void setValue(int block, int index, int value);
    bool isOffline() const;
    void setOffline(bool offline);
    DWORD recallGroup() const;
    void setRecallGroup(DWORD group);
    // The outcome of the last live change that could not be sent, or empty.
    QString sendProblem() const;

protected:
    void* findInterface(REFIID iid) override;
    void receive(const MPEVENT& event, const examples::Bytes& longBytes) override;
    void writeState(QDataStream& out) const override;
    HRESULT readState(QDataStream& in, std::uint16_t version) override;
    void disconnecting() override;

private:
    using Reply = demosynth::Reply;

    HRESULT receiveBlocks(const std::vector<int>& blocks, IMPClientProgressHandler* progress);
    HRESULT sendBlocks(const std::vector<int>& blocks, IMPClientProgressHandler* progress);
    // Sends the message and waits for the reply that `wanted` accepts, trying twice.
    HRESULT exchange(const examples::Bytes& message, DWORD port, Reply::Kind kind, int block,
                     Reply* reply);
    // false on cancel or when the time is up.
    bool waitForReply(Reply::Kind kind, int block, Reply* reply);
    bool cancelled() const { return m_cancel.load(); }
    void report(IMPClientProgressHandler* progress, std::size_t done, std::size_t total,
                const QString& message) const;

    // Under m_mutex (ExampleComponent).
    demosynth::Values m_values;
    bool m_offline = false;
    DWORD m_recallGroup = 0;
    QString m_sendProblem;

    // The synchronization running on the worker and the replies it waits for.
    std::mutex m_syncMutex;
    std::condition_variable m_syncWake;
    std::deque<Reply> m_replies;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
};
