// The application server: one object per process, marshalled work on the GUI thread in posting
// order, and the busy cursor.
#include "CAppServer.h"
#include "TMarshallEvent.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

// What the marshalled functions saw, shared with the test.
struct Journal {
    QMutex mutex;
    std::map<int, std::vector<int>> runsPerThread; // thread number -> sequence numbers
    std::atomic<int> runsOffGuiThread{0};
    std::atomic<int> destroyed{0};
};

// The parameter object of one marshalled call.
class Work : public QObject {
public:
    Work(Journal* journal, int thread, int sequence)
        : journal(journal), thread(thread), sequence(sequence) {}
    Journal* journal;
    int thread;
    int sequence;
    int runs = 0;
};

void record(QObject* object) {
    auto* work = static_cast<Work*>(object);
    ++work->runs;
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        ++work->journal->runsOffGuiThread;
    QMutexLocker lock(&work->journal->mutex);
    work->journal->runsPerThread[work->thread].push_back(work->sequence);
}

// A subclass as the callers make them: its destructor runs when the toolkit deletes the event.
class CountedEvent : public TMarshallEvent {
public:
    CountedEvent(Work* work) : TMarshallEvent(work, &record), m_journal(work->journal) {}
    ~CountedEvent() override { ++m_journal->destroyed; }

private:
    Journal* m_journal;
};

void processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(AppServerTest, OneServerWhoseMessageObjectLivesOnTheGuiThread) {
    CAppServer& server = CAppServer::Instance();
    EXPECT_EQ(&CAppServer::Instance(), &server);
    EXPECT_EQ(server.guiThread(), static_cast<void*>(QThread::currentThread()));

    // Asked first from another thread, the server still lives on the GUI thread.
    server.release();
    CAppServer* fromWorker = nullptr;
    void* guiSeenByWorker = nullptr;
    QObject* messageObject = nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        fromWorker = &CAppServer::Instance();
        guiSeenByWorker = fromWorker->guiThread();
        messageObject = CAppServer::MS();
    }));
    worker->start();
    worker->wait();
    EXPECT_EQ(&CAppServer::Instance(), fromWorker);
    EXPECT_EQ(guiSeenByWorker, static_cast<void*>(QThread::currentThread()));
    ASSERT_NE(messageObject, nullptr);
    EXPECT_EQ(messageObject->thread(), QThread::currentThread());
    EXPECT_EQ(CAppServer::MS(), messageObject);
}

TEST(AppServerTest, EventsFromFourThreadsRunOnceEachOnTheGuiThreadInPostingOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 250;
    Journal journal;
    std::vector<std::unique_ptr<Work>> works;
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < perThread; ++i)
            works.push_back(std::make_unique<Work>(&journal, t, i));
    QObject* receiver = CAppServer::MS();

    std::atomic<int> ready{0};
    std::vector<std::unique_ptr<QThread>> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back(QThread::create([&, t] {
            // Start together, so that the posts of the threads interleave.
            ++ready;
            while (ready.load() < threads)
                QThread::yieldCurrentThread();
            for (int i = 0; i < perThread; ++i)
                QCoreApplication::postEvent(receiver,
                                            new CountedEvent(works[t * perThread + i].get()));
        }));
        posters.back()->start();
    }
    for (auto& poster : posters)
        poster->wait();
    processUntil([&] { return journal.destroyed.load() == threads * perThread; });

    EXPECT_EQ(journal.destroyed.load(), threads * perThread);
    EXPECT_EQ(journal.runsOffGuiThread.load(), 0);
    std::vector<int> expected(perThread);
    for (int i = 0; i < perThread; ++i)
        expected[i] = i;
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(journal.runsPerThread[t], expected) << "thread " << t;
    for (const auto& work : works)
        ASSERT_EQ(work->runs, 1);
}

TEST(AppServerTest, AnEventRunsItsFunctionOnlyOnce) {
    Journal journal;
    Work work(&journal, 0, 0);
    TMarshallEvent event(&work, &record);
    EXPECT_EQ(event.type(), TMarshallEvent::eventType());
    event.run();
    event.run();
    EXPECT_EQ(work.runs, 1);
    // An event without a function does nothing and harms nothing.
    TMarshallEvent empty(&work, nullptr);
    empty.run();
    EXPECT_TRUE(empty.hasRun());
}

TEST(AppServerTest, ReleasingDropsPendingEventsWithoutRunningThem) {
    Journal journal;
    Work work(&journal, 0, 0);
    QCoreApplication::postEvent(CAppServer::MS(), new CountedEvent(&work));
    CAppServer::Instance().release();
    EXPECT_EQ(journal.destroyed.load(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(work.runs, 0);
    // A new server works as the first one did.
    QCoreApplication::postEvent(CAppServer::MS(), new CountedEvent(&work));
    processUntil([&] { return journal.destroyed.load() == 2; });
    EXPECT_EQ(work.runs, 1);
}

TEST(AppServerTest, BusyActionShowsTheWaitCursorUntilTheEventLoopTurns) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    CAppServer::PrepareForBusyAction(nullptr);
    CAppServer::PrepareForBusyAction(nullptr);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    // Asked from another thread, nothing changes (and nothing breaks).
    std::unique_ptr<QThread> worker(
        QThread::create([] { CAppServer::PrepareForBusyAction(nullptr); }));
    worker->start();
    worker->wait();

    QCoreApplication::processEvents();
    // Both calls together set one cursor, which is gone now.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Released while busy, the server takes its cursor along.
    CAppServer::PrepareForBusyAction(nullptr);
    CAppServer::Instance().release();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
