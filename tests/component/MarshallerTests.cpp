// Calls carried to the GUI thread: the record keeps its target alive until the call ran there,
// stores the result, deletes itself, and reports a second run or a foreign object.
#include "TSimpleMarshaller.h"

#include <dorvo/objbase.h>

#include <CAppServer.h>
#include <TMarshallEvent.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A target that counts its references and the calls made on it, and where they ran.
struct Target : IUnknown {
    std::atomic<ULONG> references{1};
    std::atomic<int> calls{0};
    std::atomic<bool> calledOnGuiThread{false};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

struct CountedCall : TSimpleMarshaller {
    CountedCall(Target* target, bool deleteWhenDone, HRESULT answer)
        : TSimpleMarshaller(target, deleteWhenDone), answer(answer) {}
    HRESULT call(IUnknown* target) override {
        auto* counted = static_cast<Target*>(target);
        ++counted->calls;
        counted->calledOnGuiThread =
            QThread::currentThread() == QCoreApplication::instance()->thread();
        return answer;
    }
    HRESULT answer;
};

QStringList warnings;
void keepWarnings(QtMsgType, const QMessageLogContext&, const QString& text) {
    warnings.append(text);
}

void processUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(MarshallerTest, ACarriedCallRunsOnceOnTheGuiThreadAndLetsItsTargetGo) {
    Target target;
    QPointer<TSimpleMarshaller> posted;
    std::thread([&] {
        auto* record = new CountedCall(&target, true, HRESULT(0x80004005));
        posted = record;
        record->post();
    }).join();
    EXPECT_EQ(target.references, 2u) << "held while in transit";
    processUntil([&] { return posted.isNull(); });
    EXPECT_TRUE(posted.isNull()) << "deleted after it ran";
    EXPECT_EQ(target.calls, 1);
    EXPECT_TRUE(target.calledOnGuiThread);
    EXPECT_EQ(target.references, 1u);
}

TEST(MarshallerTest, ASecondRunAndAForeignObjectAreReportedAndDoNothing) {
    Target target;
    CountedCall record(&target, false, S_FALSE);
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    TSimpleMarshaller::runRecord(&record);
    EXPECT_EQ(record.result(), S_FALSE);
    TSimpleMarshaller::runRecord(&record);
    QObject stranger;
    TSimpleMarshaller::runRecord(&stranger);
    qInstallMessageHandler(previous);

    EXPECT_EQ(target.calls, 1) << "the target is not called again";
    EXPECT_EQ(record.runCount(), 2);
    EXPECT_EQ(target.references, 1u) << "released once";
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_TRUE(warnings[0].contains("\"v == 1\"")) << warnings[0].toStdString();
    EXPECT_TRUE(warnings[1].contains("\"xThis\"")) << warnings[1].toStdString();
}

} // namespace
