// The Workspace model on its own, in a program without widgets: instances made from the
// recording component, their names and Recall settings, what the host object learns of them,
// and the order in which they go.
#include "HostingTestSupport.h"
#include "TComponentInstance.h"
#include "TVirtualMIDIPortAccessor.h"
#include "TWorkspaceModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

using hostingtest::RecordingControl;
using hostingtest::recordingEntry;

namespace {

QStringList namesOf(const TWorkspaceModel& model) {
    QStringList names;
    for (const TComponentInstance* instance : model.instances())
        names.append(instance->instanceName());
    return names;
}

class WorkspaceModelTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "workspace_model_tests";
        static char* argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete application;
        application = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(hostingtest::registerRecordingComponent()); }

    TComponentInstance* add(const QString& name) {
        control.apply();
        TComponentInstance* instance = model->add(recordingEntry(), name);
        control.takeLog();
        return instance;
    }

    static QCoreApplication* application;
    RecordingControl control;
    std::unique_ptr<TWorkspaceModel> model = std::make_unique<TWorkspaceModel>();
};

QCoreApplication* WorkspaceModelTest::application = nullptr;

TEST_F(WorkspaceModelTest, InstancesKeepTheirOrderNamesAndRecallSettings) {
    QSignalSpy added(model.get(), &TWorkspaceModel::instanceAdded);
    control.behaviour.defaultMask = 0x6;
    TComponentInstance* synth = add("Synth");
    control.behaviour.hasSync2 = FALSE;
    control.behaviour.hasSync1 = FALSE;
    control.behaviour.hasEventFilter = FALSE;
    TComponentInstance* mixer = add("Mixer");
    ASSERT_TRUE(synth && mixer);

    EXPECT_EQ(added.count(), 2);
    EXPECT_EQ(namesOf(*model), (QStringList{"Synth", "Mixer"}));
    EXPECT_TRUE(synth->recallEnabled());
    EXPECT_EQ(synth->recallMask(), 0x6u);
    EXPECT_FALSE(mixer->hasSyncInterface());
    EXPECT_FALSE(mixer->recallEnabled());
    EXPECT_TRUE(synth->hasPropertyPage());

    // The host object hears the names and gets the filters of the components that have one.
    EXPECT_EQ(model->componentInstanceName(mixer->component()), "Mixer");
    EXPECT_EQ(model->componentInstanceName(nullptr), std::nullopt);
    EXPECT_EQ(model->componentEventFilters(),
              QList<IMPEventFilter*>{synth->eventFilterInterface()});

    // Names are unique with case counting; a refused name changes nothing.
    QSignalSpy renamed(model.get(), &TWorkspaceModel::instanceRenamed);
    EXPECT_TRUE(model->nameInUse("Synth"));
    EXPECT_FALSE(model->nameInUse("synth"));
    EXPECT_EQ(model->rename(synth, "Synth"), TWorkspaceModel::RenameResult::Unchanged);
    EXPECT_EQ(model->rename(synth, ""), TWorkspaceModel::RenameResult::Empty);
    EXPECT_EQ(model->rename(synth, "Mixer"), TWorkspaceModel::RenameResult::NameInUse);
    EXPECT_EQ(renamed.count(), 0);
    EXPECT_EQ(model->rename(synth, "mixer"), TWorkspaceModel::RenameResult::Renamed);
    EXPECT_EQ(renamed.count(), 1);
    EXPECT_EQ(model->componentInstanceName(synth->component()), "mixer");
}

TEST_F(WorkspaceModelTest, ARefusedConnectionAddsNothingAndStillDisconnects) {
    QSignalSpy added(model.get(), &TWorkspaceModel::instanceAdded);
    control.behaviour.connectResult = E_FAIL;
    control.apply();
    EXPECT_EQ(model->add(recordingEntry(), "Synth"), nullptr);
    const QStringList log = control.takeLog();
    EXPECT_TRUE(log.contains("MPDisconnect")) << log.join('\n').toStdString();
    EXPECT_EQ(control.liveObjects(), 0);
    EXPECT_TRUE(model->instances().isEmpty());
    EXPECT_FALSE(model->nameInUse("Synth"));
    EXPECT_EQ(added.count(), 0);
}

TEST_F(WorkspaceModelTest, ARemovedInstanceLeavesAtOnceAndGoesAfterItsViews) {
    TComponentInstance* synth = add("Synth");
    TComponentInstance* bass = add("Bass");
    ASSERT_TRUE(synth && bass);
    bool connectedWhenAnnounced = false;
    QObject listener; // the connection ends with the test
    QObject::connect(model.get(), &TWorkspaceModel::instanceRemoving, &listener,
                     [&](TComponentInstance* going) {
                         connectedWhenAnnounced =
                             going == synth && going->component() && control.takeLog().isEmpty();
                     });
    model->remove(synth);
    EXPECT_TRUE(connectedWhenAnnounced);
    EXPECT_EQ(namesOf(*model), QStringList{"Bass"});
    EXPECT_FALSE(model->nameInUse("Synth"));
    EXPECT_EQ(model->componentEventFilters().size(), 1);
    EXPECT_TRUE(control.takeLog().isEmpty()) << "destroyed only when the event loop turns";

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(control.takeLog(), (QStringList{"MPDisconnect", "destroyed"}));
    model->remove(synth); // no longer there: nothing happens
    EXPECT_EQ(namesOf(*model), QStringList{"Bass"});
}

TEST_F(WorkspaceModelTest, ClearingAndDestroyingDisconnectEveryComponentInOrder) {
    add("One");
    add("Two");
    model->clear();
    EXPECT_TRUE(model->instances().isEmpty());
    EXPECT_EQ(control.takeLog(),
              (QStringList{"MPDisconnect", "destroyed", "MPDisconnect", "destroyed"}));

    // The model's end takes instances still waiting for the event loop along.
    model->remove(add("Three"));
    add("Four");
    model.reset();
    EXPECT_EQ(control.takeLog(),
              (QStringList{"MPDisconnect", "destroyed", "MPDisconnect", "destroyed"}));
    EXPECT_EQ(control.liveObjects(), 0);
}

TEST_F(WorkspaceModelTest, ADirtyComponentMakesTheWorkspaceDirty) {
    add("Clean");
    EXPECT_FALSE(model->anyComponentDirty());
    control.behaviour.dirty = TRUE;
    add("Dirty");
    EXPECT_TRUE(model->anyComponentDirty());
}

TEST_F(WorkspaceModelTest, ADamagedRegistryFileIsToldOnceWithItsLine) {
    const QString hive = qEnvironmentVariable("DORVO2_REGISTRY_DIR") + "/machine.reg";
    QFile file(hive);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    auto writeHive = [&](const QByteArray& bytes) {
        QFile out(hive);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    };
    writeHive(good + "\n[this line is not a key");

    QSignalSpy warnings(model.get(), &TWorkspaceModel::warning);
    EXPECT_EQ(model->catalogue().entries(), nullptr);
    model->catalogue().forget();
    model->catalogue().entries();
    QCoreApplication::processEvents();
    writeHive(good);
    model->catalogue().forget();
    EXPECT_NE(model->catalogue().entries(), nullptr) << "readable again";
    QCoreApplication::processEvents();

    ASSERT_EQ(warnings.count(), 1);
    const QString text = warnings[0][0].toString();
    const int lastLine = good.count('\n') + 2;
    EXPECT_TRUE(text.contains(hive + ":" + QString::number(lastLine))) << text.toStdString();
    EXPECT_TRUE(text.contains("components may be missing")) << text.toStdString();
}

} // namespace
