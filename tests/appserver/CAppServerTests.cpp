// The application server: one object per process, marshalled work on the GUI thread in posting
// order, and the busy cursor.
#include "CAppServer.h"
#include "TMarshallEvent.h"

#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMutex>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

namespace {

// The parameter object of one marshalled call, and what the calls saw.
struct Journal {
    QMutex mutex;
    std::map<int, std::vector<int>> runsPerThread; // poster number -> sequence numbers
    std::atomic<int> runsOffGuiThread{0};
    std::atomic<int> destroyed{0};
};

struct Work : QObject {
    Work(Journal* journal, int poster, int sequence)
        : journal(journal), poster(poster), sequence(sequence) {}
    Journal* journal;
    int poster, sequence, runs = 0;
};

void record(QObject* object) {
    auto* work = static_cast<Work*>(object);
    ++work->runs;
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        ++work->journal->runsOffGuiThread;
    QMutexLocker lock(&work->journal->mutex);
    work->journal->runsPerThread[work->poster].push_back(work->sequence);
}

// A subclass as the callers make them: its destructor runs when the toolkit deletes the event.
struct CountedEvent : TMarshallEvent {
    explicit CountedEvent(Work* work) : TMarshallEvent(work, &record), journal(work->journal) {}
    ~CountedEvent() override { ++journal->destroyed; }
    Journal* journal;
};

void processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(AppServerTest, TheServerAskedFromAnotherThreadStillLivesOnTheGuiThread) {
    CAppServer::Instance().release();
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
    constexpr int posters = 4, perPoster = 250;
    Journal journal;
    std::vector<std::unique_ptr<Work>> works;
    for (int i = 0; i < posters * perPoster; ++i)
        works.push_back(std::make_unique<Work>(&journal, i / perPoster, i % perPoster));
    QObject* receiver = CAppServer::MS();
    std::atomic<int> ready{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int p = 0; p < posters; ++p) {
        threads.emplace_back(QThread::create([&, p] {
            ++ready; // start together, so that the posts interleave
            while (ready.load() < posters)
                QThread::yieldCurrentThread();
            for (int i = 0; i < perPoster; ++i)
                QCoreApplication::postEvent(receiver,
                                            new CountedEvent(works[p * perPoster + i].get()));
        }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
    processUntil([&] { return journal.destroyed.load() == posters * perPoster; });

    EXPECT_EQ(journal.destroyed.load(), posters * perPoster);
    EXPECT_EQ(journal.runsOffGuiThread.load(), 0);
    std::vector<int> inOrder(perPoster);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (int p = 0; p < posters; ++p)
        EXPECT_EQ(journal.runsPerThread[p], inOrder) << "poster " << p;
    for (const auto& work : works)
        ASSERT_EQ(work->runs, 1);
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
    TMarshallEvent again(&work, &record); // run by hand twice: still once
    again.run();
    again.run();
    EXPECT_EQ(work.runs, 2);
}

TEST(AppServerTest, BusyActionShowsTheWaitCursorUntilTheEventLoopTurns) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    CAppServer::PrepareForBusyAction(nullptr);
    CAppServer::PrepareForBusyAction(nullptr);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    std::unique_ptr<QThread> worker(
        QThread::create([] { CAppServer::PrepareForBusyAction(nullptr); }));
    worker->start(); // from another thread nothing changes
    worker->wait();
    QCoreApplication::processEvents();
    // The calls together set one cursor, which is gone now.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    CAppServer::PrepareForBusyAction(nullptr);
    CAppServer::Instance().release(); // takes its cursor along
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
