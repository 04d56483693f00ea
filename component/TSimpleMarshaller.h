// One call carried from a thread of the outer application to the GUI thread: a parameter record
// that holds the call's target (referenced from building until the call has run) and its
// arguments, posted to the application server's message object and run there once. Records of
// particular calls derive from it and give call(). The poster never waits on the record.
#pragma once

#include <dorvo/objbase.h>

#include <QObject>

#include <atomic>

class TSimpleMarshaller : public QObject {
    Q_OBJECT
public:
    // Any thread: adds a reference to target.
    TSimpleMarshaller(IUnknown* target, bool deleteWhenDone);
    ~TSimpleMarshaller() override;

    // Any thread: hands the record to the GUI thread, which owns it from then on when it
    // deletes itself when done.
    void post();

    // The run function of every record (GUI thread): the call, its result kept, then finish().
    static void runRecord(QObject* object);

    HRESULT result() const { return m_result; }
    int runCount() const { return m_runCount.load(); }
    IUnknown* target() const { return m_target; }

protected:
    // GUI thread: the carried call on the target.
    virtual HRESULT call(IUnknown* target) = 0;

private:
    void finish();

    HRESULT m_result = S_OK;
    IUnknown* m_target;
    const bool m_deleteWhenDone;
    std::atomic<int> m_runCount{0};
};
