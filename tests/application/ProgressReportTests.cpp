// Progress reports of a synchronizing component: the crossing from its worker thread to the GUI
// thread, the end of each line and of its group, and the worker with its stop requests.
#include "ApplicationWindow.h"
#include "CProgressMarshaller.h"
#include "CVEXWrapper.h"
#include "ClientIMPClientProgressHandler.h"
#include "ComTestSupport.h"
#include "HostingTestSupport.h"
#include "ShellTestSupport.h"
#include "TSyncThread.h"
#include "cancelTotalRecall.h"
#include "singleProgress.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using hostingtest::RecordingControl;

namespace {

// One group's run: its progress dialog with the buttons row, the shared counter and flag.
struct Group {
    explicit Group(LONG components, bool last) : counter(components), lastGroup(last) {
        buttons->buttonContinue()->hide();
        QObject::connect(&dialog, &QDialog::accepted, [this] { ++accepted; });
    }
    ClientIMPClientProgressHandler* handlerFor(singleProgress* line) {
        return new ClientIMPClientProgressHandler(line, buttons, &counter, &failed, lastGroup);
    }
    QDialog dialog;
    cancelTotalRecall* buttons = new cancelTotalRecall(&dialog);
    LONG counter;
    bool failed = false;
    bool lastGroup;
    int accepted = 0;
};

TEST(ProgressReportTest, WorkerReportsReachTheGuiThreadInOrder) {
    singleProgress line;
    Group group(1, true);
    std::unique_ptr<ClientIMPClientProgressHandler> handler(group.handlerFor(&line));
    QList<int> values;
    bool allOnGuiThread = true;
    QObject::connect(line.progressBar(), &QProgressBar::valueChanged, [&](int value) {
        values.append(value);
        allOnGuiThread &= QThread::currentThread() == qApp->thread();
    });

    constexpr DWORD kReports = 300;
    std::thread worker([&] {
        for (DWORD i = 1; i <= kReports; ++i)
            EXPECT_EQ(handler->ReportProgress(0, i, kReports, i == kReports ? u"last" : nullptr),
                      S_OK);
    });
    worker.join();
    EXPECT_TRUE(values.isEmpty()); // nothing happens until the GUI thread turns
    ASSERT_TRUE(dorvo2test::eventLoopUntil([&] { return values.size() >= int(kReports); }));
    QList<int> expected;
    for (int i = 1; i <= int(kReports); ++i)
        expected.append(i);
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(allOnGuiThread);
    EXPECT_EQ(line.progressLabel()->text(), "last");
    EXPECT_EQ(line.progressBar()->maximum(), int(kReports));

    // On the GUI thread the line changes at once; a null message empties the label.
    handler->ReportProgress(0, 7, 8, nullptr);
    EXPECT_EQ(line.progressBar()->value(), 7);
    EXPECT_EQ(line.progressBar()->maximum(), 8);
    EXPECT_TRUE(line.progressLabel()->text().isEmpty());
    // Numbers beyond the bar's range keep their proportion; progress never passes the total.
    handler->ReportProgress(0, 0xFFFFFFFFu, 0xFFFFFFFEu, u"huge");
    EXPECT_EQ(line.progressBar()->value(), line.progressBar()->maximum());
    EXPECT_GT(line.progressBar()->maximum(), 0);
}

TEST(ProgressReportTest, AReportForADestroyedHandlerIsDropped) {
    singleProgress line;
    Group group(1, true);
    auto* handler = group.handlerFor(&line);
    std::thread worker([&] {
        handler->ReportProgress(0, 5, 10, u"lost");
        new CProgressMarshaller(handler, CProgressMarshaller::Done, QString(), 0, 0);
    });
    worker.join();
    delete handler;
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(line.progressLabel()->text(), "Preparing...");
    EXPECT_EQ(line.progressBar()->value(), 0);
    EXPECT_EQ(group.counter, 1);
}

TEST(ProgressReportTest, EndsCountTheGroupDownAndCloseOrHoldTheDialog) {
    {
        Group group(2, false);
        singleProgress a(&group.dialog), b(&group.dialog);
        std::unique_ptr<ClientIMPClientProgressHandler> first(group.handlerFor(&a));
        std::unique_ptr<ClientIMPClientProgressHandler> second(group.handlerFor(&b));
        a.buttonCancel()->hide();
        group.dialog.show();
        first->guiUpdate(CProgressMarshaller::Done, QString(), 0, 0);
        EXPECT_EQ(a.buttonCancel()->text(), "Done");
        EXPECT_FALSE(a.buttonCancel()->isEnabled());
        EXPECT_TRUE(a.buttonCancel()->isVisible());
        EXPECT_EQ(group.counter, 1);
        EXPECT_EQ(group.accepted, 0);
        second->guiUpdate(CProgressMarshaller::Done, QString(), 0, 0);
        EXPECT_EQ(group.counter, 0);
        EXPECT_EQ(group.accepted, 1);
        second->guiUpdate(CProgressMarshaller::Done, QString(), 0, 0); // a stray second end
        EXPECT_EQ(group.counter, 0);
        EXPECT_EQ(group.accepted, 1);
    }
    {
        Group group(2, false);
        singleProgress a(&group.dialog), b(&group.dialog);
        std::unique_ptr<ClientIMPClientProgressHandler> first(group.handlerFor(&a));
        std::unique_ptr<ClientIMPClientProgressHandler> second(group.handlerFor(&b));
        first->guiUpdate(CProgressMarshaller::Failed, QString(), 0, 0);
        EXPECT_TRUE(group.failed);
        second->guiUpdate(CProgressMarshaller::Cancelled, QString(), 0, 0);
        EXPECT_EQ(a.buttonCancel()->text(), "Failed");
        EXPECT_EQ(b.buttonCancel()->text(), "Canceled");
        EXPECT_EQ(group.accepted, 0); // held open with Continue
        EXPECT_FALSE(group.buttons->buttonContinue()->isHidden());
        EXPECT_EQ(group.buttons->buttonCancel()->text(), "Cancel Recall");
    }
    {
        Group group(1, true);
        singleProgress a(&group.dialog);
        std::unique_ptr<ClientIMPClientProgressHandler> only(group.handlerFor(&a));
        only->guiUpdate(CProgressMarshaller::Failed, QString(), 0, 0);
        EXPECT_EQ(group.accepted, 0);
        EXPECT_EQ(group.buttons->buttonCancel()->text(), "OK");
        EXPECT_TRUE(group.buttons->buttonContinue()->isHidden());
    }
    comtest::WarningCapture warnings;
    singleProgress line;
    bool failed = false;
    LONG none = 0;
    ClientIMPClientProgressHandler withoutCounter(&line, nullptr, nullptr, &failed, true);
    ClientIMPClientProgressHandler withZero(&line, nullptr, &none, &failed, true);
    withoutCounter.guiUpdate(CProgressMarshaller::Done, QString(), 0, 0);
    EXPECT_EQ(warnings.text().count("ASSERT: \"m_plSyncCounter && ( 0 < *m_plSyncCounter ) && "
                                    "pbSyncError\" in ClientIMPClientProgressHandler ("),
              2);
}

// ---- The worker ------------------------------------------------------------------------------

class SyncWorkerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hostingtest::registerRecordingComponent()); }

    CVEXWrapper* add() {
        control.apply();
        CVEXWrapper* component =
            window->addComponent(hostingtest::recordingEntry(), QString("C%1").arg(++count));
        control.takeLog();
        return component;
    }

    // Runs the component's synchronization as a group of one and gives the line's end text.
    QString run(CVEXWrapper* component, DWORD direction) {
        singleProgress line;
        Group group(1, true);
        auto* handler = group.handlerFor(&line);
        auto* thread = new TSyncThread(component, direction, handler);
        component->setSyncThread(thread);
        thread->start(QThread::LowestPriority);
        thread->wait();
        EXPECT_TRUE(dorvo2test::eventLoopUntil([&] { return group.counter == 0; }));
        component->setSyncThread(nullptr);
        delete handler;
        return line.buttonCancel()->text();
    }

    bool waitForLogLine(const QString& line) {
        QStringList seen;
        return dorvo2test::eventLoopUntil([&] {
            seen += control.takeLog();
            return seen.contains(line);
        });
    }

    RecordingControl control;
    std::unique_ptr<ApplicationWindow> window = std::make_unique<ApplicationWindow>();
    int count = 0;
};

TEST_F(SyncWorkerTest, TheComponentsResultOrAStopRequestDecidesHowTheLineEnds) {
    struct Case {
        HRESULT syncResult, abortCode;
        const char* end;
        bool cancelled;
    };
    const Case cases[] = {
        {S_OK, 0, "Done", false},
        {E_FAIL, 0, "Failed", false},
        {ERROR_CANCELLED, 0, "Canceled", false},
        {S_OK, ERROR_CANCELLED, "Canceled", true}, // the component's own abort decides
        {S_OK, E_FAIL, "Failed", true},
    };
    for (const Case& c : cases) {
        control.behaviour.progressSteps = 3;
        control.behaviour.syncResult = c.syncResult;
        control.behaviour.abortCode = c.abortCode;
        control.behaviour.defaultMask = 6;
        CVEXWrapper* component = add();
        EXPECT_EQ(run(component, 0x101), c.end);
        const QStringList log = control.takeLog();
        EXPECT_TRUE(log.contains("Synchronize direction=1 mask=6")) << log.join('|').toStdString();
        EXPECT_EQ(log.count("CancelSynchronize"), c.cancelled ? 1 : 0);
    }

    control.behaviour = RecordingBehaviour();
    control.behaviour.hasSync1 = control.behaviour.hasSync2 = FALSE;
    CVEXWrapper* without = add();
    EXPECT_EQ(run(without, 1), "Failed"); // nothing to synchronize with
    EXPECT_EQ(CVEXWrapper::requestCancel(without), E_UNEXPECTED);
    comtest::WarningCapture warnings;
    EXPECT_EQ(CVEXWrapper::requestCancel(nullptr), E_UNEXPECTED);
    EXPECT_TRUE(warnings.text().contains("ASSERT: \"this\" in CVEXWrapper ("));
}

TEST_F(SyncWorkerTest, CancellingAsksTheComponentOnceAndReplacingARunningWorkerJoinsIt) {
    control.behaviour.waitForCancel = TRUE;
    CVEXWrapper* component = add();
    singleProgress line;
    Group group(1, true);
    std::unique_ptr<ClientIMPClientProgressHandler> handler(group.handlerFor(&line));
    auto* thread = new TSyncThread(component, 1, handler.get());
    component->setSyncThread(thread);
    component->cancelSynchronization(); // not running yet: nothing to stop
    EXPECT_FALSE(thread->stopRequested());
    thread->start();
    ASSERT_TRUE(waitForLogLine("Synchronize direction=1 mask=0"));
    component->cancelSynchronization();
    component->cancelSynchronization();
    ASSERT_TRUE(thread->wait(10000));
    EXPECT_EQ(thread->recordedResult(), ERROR_CANCELLED);
    ASSERT_TRUE(dorvo2test::eventLoopUntil([&] { return group.counter == 0; }));
    EXPECT_EQ(line.buttonCancel()->text(), "Canceled");
    EXPECT_EQ(control.takeLog().count("CancelSynchronize"), 1);

    // A worker still running when it is replaced is stopped and joined, with a warning.
    Group next(1, true);
    std::unique_ptr<ClientIMPClientProgressHandler> nextHandler(next.handlerFor(&line));
    auto* running = new TSyncThread(component, 1, nextHandler.get());
    component->setSyncThread(running);
    running->start();
    ASSERT_TRUE(waitForLogLine("Synchronize direction=1 mask=0"));
    comtest::WarningCapture warnings;
    component->setSyncThread(nullptr);
    EXPECT_TRUE(warnings.text().contains("ASSERT: \"m_syncThread->finished()\" in CVEXWrapper ("));
    EXPECT_EQ(component->syncThread(), nullptr);
    QCoreApplication::processEvents();
}

} // namespace
