// Synchronization and Recall in the Workspace window: which components the confirmation lists
// and how, the groups in their order with a progress line per component, the ends of lines and
// groups, and a closed dialog that stops every transfer before anything else happens.
#include "ApplicationWindow.h"
#include "CSyncMainDlg.h"
#include "CVEXWrapper.h"
#include "ConfirmSynchronization.h"
#include "HostingTestSupport.h"
#include "SetupDlg.h"
#include "ShellTestSupport.h"
#include "TFileDialog.h"
#include "TSyncThread.h"
#include "TSynchronizer.h"
#include "TWorkspaceMenus.h"
#include "TestEnvironment.h"
#include "cancelTotalRecall.h"
#include "singleProgress.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using dorvo2test::MessageRecorder;
using dorvo2test::ModalScript;
using dorvo2test::on;
using hostingtest::RecordingControl;
using hostingtest::recordingEntry;

namespace {

QStringList itemsOf(QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

ModalScript::Step confirmWith(std::function<void(ConfirmSynchronization&)> check = {}) {
    return on<ConfirmSynchronization>([check](ConfirmSynchronization& dialog) {
        if (check)
            check(dialog);
        dialog.accept();
        return true;
    });
}

QString lineEnd(CSyncMainDlg& dialog, int line) {
    const auto lines = dialog.findChildren<singleProgress*>();
    return line < lines.size() ? lines[line]->buttonCancel()->text() : QString();
}

class SynchronizationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hostingtest::registerRecordingComponent());
        window->yNewSession();
        window->setupDialog()->reject();
    }
    // A component whose answers are the behaviour's at this moment.
    CVEXWrapper* add(const QString& name, std::function<void(RecordingBehaviour&)> change = {}) {
        RecordingBehaviour& b = control.behaviour;
        b = RecordingBehaviour();
        if (change)
            change(b);
        control.apply();
        CVEXWrapper* component = window->addComponent(recordingEntry(), name);
        EXPECT_NE(component, nullptr) << name.toStdString();
        return component;
    }
    // The component's calls since the last started(), kept while a step looks at them.
    const QStringList& log() {
        seen += control.takeLog();
        return seen;
    }
    // How many synchronizations with this mask began (a waiting component is only cancelled
    // once it has begun).
    int began(const QString& mask = QString()) {
        int count = 0;
        for (const QString& line : log())
            count +=
                line.startsWith("Synchronize ") && (mask.isNull() || line.endsWith("mask=" + mask));
        return count;
    }
    // The recall masks of the components in the order their synchronizations began.
    QStringList started() {
        QStringList order;
        for (const QString& line : log())
            if (line.startsWith("Synchronize "))
                order.append(line.section("mask=", 1));
        seen.clear();
        return order;
    }

    QStringList seen;

    RecordingControl control;
    std::unique_ptr<ApplicationWindow> window = std::make_unique<ApplicationWindow>();
};

TEST_F(SynchronizationTest, TheConfirmationListsWhatTakesPartAndHow) {
    EXPECT_EQ(TSynchronizer::recallDescription("All;Osc;Filter;Env", 0, 0), "All");
    EXPECT_EQ(TSynchronizer::recallDescription("All;Osc;Filter;Env", 6, 0), "Filter");
    EXPECT_EQ(TSynchronizer::recallDescription("All;Osc;Filter;Env", 6, 0x80000000u),
              "Filter, Env");

    add("Keys", [](auto& b) { hostingtest::setText(b.recallItems, "All;Osc;Filter"); });
    add("Mixer", [](auto& b) {
        hostingtest::setText(b.recallItems, "According to editor setting");
        b.waitForCancel = TRUE;
    });
    add("Plain");
    window->components().last()->setRecallMask(0);
    add("Left out")->setRecallEnabled(false);
    add("Away", [](auto& b) { b.offline = TRUE; });
    add("Broken", [](auto& b) {
        b.recallResult = E_FAIL;
        b.offline = TRUE; // not believed: the call failed
        hostingtest::setText(b.recallItems, "All;Osc");
    });
    window->components()[0]->setRecallMask(2);

    MessageRecorder declining(QMessageBox::No);
    QStringList directions, editors;
    bool toHardware = false;
    ModalScript script({on<ConfirmSynchronization>([&](ConfirmSynchronization& dialog) {
        EXPECT_EQ(dialog.objectName(), "ConfirmSynchronization");
        EXPECT_EQ(dialog.windowTitle(), "Confirm Recall Synchronization");
        directions = itemsOf(dialog.devicesList());
        editors = itemsOf(dialog.editorDevicesList());
        toHardware = dialog.toHardwareButton()->isChecked();
        dialog.reject();
        return true;
    })});
    window->totalRecall();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(directions, (QStringList{"Keys - Filter", "Plain", "Broken"}));
    EXPECT_EQ(editors, QStringList{"Mixer"});
    EXPECT_TRUE(toHardware);
    ASSERT_EQ(declining.requests.size(), 1);
    EXPECT_EQ(declining.requests[0].caption, "Quenor Dorvo - Offline Override?");
    EXPECT_EQ(declining.texts()[0], "A component called Away is set to off-line editing "
                                    "mode.\nDo you want to override this setting?");
    EXPECT_TRUE(started().isEmpty()) << "cancelled before anything ran";

    // Only components that follow their editors: no direction to choose, none in the caption.
    QString progressCaption;
    bool directionEnabled = true;
    ModalScript single({confirmWith([&](ConfirmSynchronization& dialog) {
                            EXPECT_EQ(dialog.windowTitle(), "Confirm Synchronization");
                            directionEnabled =
                                dialog.findChild<QGroupBox*>("toFromGroup")->isEnabled();
                        }),
                        on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                            progressCaption = dialog.windowTitle();
                            if (began() < 1)
                                return false;
                            dialog.close();
                            return true;
                        })});
    TWorkspaceMenus(*window).actOnComponentMenu(window->components()[1], [&] {
        QMenu* menu =
            TWorkspaceMenus(*window).createComponentMenu(window->components()[1], window.get());
        for (QAction* action : menu->actions())
            if (action->text() == "Synchronize...")
                return action;
        return static_cast<QAction*>(nullptr);
    }());
    EXPECT_FALSE(directionEnabled);
    EXPECT_EQ(progressCaption, "Synchronization Progress");
    EXPECT_EQ(started(), QStringList{"0"});
}

TEST_F(SynchronizationTest, WithoutComponentsTakingPartOnlyTheUserIsTold) {
    MessageRecorder messages(QMessageBox::No);
    window->totalRecall();
    EXPECT_EQ(messages.texts(),
              QStringList{"There are no available components supporting Recall in your "
                          "Workspace."});
    messages.requests.clear();
    window->totalRecallAfterLoad();
    EXPECT_TRUE(messages.texts().isEmpty());

    add("Away", [](auto& b) { b.offline = TRUE; });
    window->totalRecallAfterLoad();
    ASSERT_EQ(messages.texts().size(), 2);
    EXPECT_EQ(messages.texts()[1],
              "There are no available components supporting Recall in your Workspace.");
}

// With "Automatically synchronize on file load" on, an opened document is recalled 50 ms later.
TEST_F(SynchronizationTest, AnOpenedDocumentIsRecalledWhenAutomaticSynchronizationIsOn) {
    add("Loaded");
    const QString path = QString::fromStdString(dorvo2test::makeTempDir("recall")) + "/s.XDW";
    QStringList answers{path, path};
    TScopedFileDialogResponder files([&](const TFileDialog::Request& request) {
        return TFileDialog::Answer{answers.takeFirst(), request.selectedFilter};
    });
    window->doSave();
    ASSERT_TRUE(window->setupDialog()->autoSync());
    bool offered = false;
    ModalScript script({on<ConfirmSynchronization>([&](ConfirmSynchronization& dialog) {
        offered = itemsOf(dialog.devicesList()) == QStringList{"Loaded"};
        dialog.reject();
        return true;
    })});
    window->doLoad();
    dorvo2test::eventLoopUntil([&] { return script.finished(); }, 3000);
    EXPECT_TRUE(offered);

    dorvo2test::switchOffAutoSync(window->setupDialog());
    answers = {path};
    ModalScript none({on<ConfirmSynchronization>([](ConfirmSynchronization& dialog) {
        ADD_FAILURE() << "a Recall was offered";
        dialog.reject();
        return true;
    })});
    window->doLoad();
    dorvo2test::eventLoopUntil([] { return false; }, 300);
}

TEST_F(SynchronizationTest, OneComponentHasCancelAndNoPerLineCancel) {
    add("Solo", [](auto& b) {
        b.waitForCancel = TRUE;
        b.progressSteps = 2;
    });
    bool lineCancelShown = true, continueShown = true;
    QString cancelText, caption;
    ModalScript script({confirmWith(), on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                            if (dialog.findChild<singleProgress*>()->progressBar()->value() < 2)
                                return false;
                            caption = dialog.windowTitle();
                            cancelText = dialog.buttons()->buttonCancel()->text();
                            continueShown = !dialog.buttons()->buttonContinue()->isHidden();
                            lineCancelShown =
                                !dialog.findChild<singleProgress*>()->buttonCancel()->isHidden();
                            dialog.buttons()->buttonCancel()->click();
                            return true;
                        })});
    window->totalRecall();
    EXPECT_EQ(caption, "Synchronization Progress - To Hardware");
    EXPECT_EQ(cancelText, "Cancel");
    EXPECT_FALSE(continueShown);
    EXPECT_FALSE(lineCancelShown);
    EXPECT_TRUE(log().contains("CancelSynchronize"));
    EXPECT_EQ(window->components()[0]->syncThread(), nullptr);
}

TEST_F(SynchronizationTest, GroupsRunHighestFirstAndAFailureLetsTheUserDecide) {
    // The masks name the components in the log.
    add("Two", [](auto& b) { b.group = 2; })->setRecallMask(2);
    // Holds the last group open until the dialog is closed.
    add("Zero", [](auto& b) { b.waitForCancel = TRUE; })->setRecallMask(10);
    add("Five", [](auto& b) {
        b.group = 5;
        b.syncResult = E_FAIL;
    })->setRecallMask(5);
    // Its group cannot be read: it runs with group 0.
    add("Unread", [](auto& b) {
        b.group = 7;
        b.recallResult = E_FAIL;
    })->setRecallMask(11);

    QStringList ends;
    bool continueShown = false;
    ModalScript script({confirmWith(), on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                            // Group 5 failed: the dialog waits with Continue.
                            if (dialog.buttons()->buttonContinue()->isHidden())
                                return false;
                            continueShown = true;
                            ends.append(lineEnd(dialog, 0));
                            dialog.buttons()->buttonContinue()->click();
                            return true;
                        }),
                        on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                            // Group 2 ran through and closed the dialog by itself; group 0 runs
                            // now.
                            if (lineEnd(dialog, 1) != "Done")
                                return false;
                            ends.append(lineEnd(dialog, 1));
                            dialog.close();
                            return true;
                        })});
    window->totalRecall();
    EXPECT_TRUE(continueShown);
    EXPECT_EQ(ends, (QStringList{"Failed", "Done"}));
    QStringList order = started();
    ASSERT_EQ(order.size(), 4);
    EXPECT_EQ(order.mid(0, 2), (QStringList{"5", "2"}));
    order = order.mid(2);
    order.sort();
    EXPECT_EQ(order, (QStringList{"10", "11"}));

    // Cancel Recall after the failure ends the run there.
    ModalScript stop({confirmWith(), on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                          if (dialog.buttons()->buttonContinue()->isHidden())
                              return false;
                          dialog.buttons()->buttonCancel()->click();
                          return true;
                      })});
    window->totalRecall();
    EXPECT_EQ(started(), QStringList{"5"});
}

TEST_F(SynchronizationTest, TheLastGroupsFailureEndsWithOkAndAbortCodesDecideTheLines) {
    add("Aborted", [](auto& b) { b.abortCode = HRESULT(ERROR_CANCELLED); });
    add("Broken", [](auto& b) { b.abortCode = E_FAIL; });
    add("Fine");
    QStringList ends;
    QString button;
    ModalScript script({confirmWith([](ConfirmSynchronization& dialog) {
                            dialog.fromHardwareButton()->setChecked(true);
                        }),
                        on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                            if (dialog.buttons()->buttonCancel()->text() != "OK")
                                return false;
                            for (int line = 0; line < 3; ++line)
                                ends.append(lineEnd(dialog, line));
                            button = dialog.buttons()->buttonCancel()->text();
                            EXPECT_TRUE(dialog.buttons()->buttonContinue()->isHidden());
                            dialog.buttons()->buttonCancel()->click();
                            return true;
                        })});
    window->totalRecall();
    EXPECT_EQ(ends, (QStringList{"Canceled", "Failed", "Done"}));
    EXPECT_EQ(button, "OK");
    for (const QString& line : log()) {
        if (line.startsWith("Synchronize ")) {
            EXPECT_TRUE(line.startsWith("Synchronize direction=0")) << line.toStdString();
        }
    }
}

// Closing the dialog while transfers run: each running component is asked to cancel, and the
// run waits for all of them; no worker outlives its group.
TEST_F(SynchronizationTest, ClosingTheProgressDialogStopsAndJoinsEveryTransfer) {
    for (const char* name : {"First", "Second", "Third"})
        add(name, [](auto& b) { b.waitForCancel = TRUE; });
    ModalScript script({confirmWith(), on<CSyncMainDlg>([&](CSyncMainDlg& dialog) {
                            for (CVEXWrapper* component : window->components())
                                if (!component->syncThread() ||
                                    !component->syncThread()->isRunning())
                                    return false;
                            dialog.close();
                            return true;
                        })});
    window->totalRecall();
    ASSERT_TRUE(script.finished());
    int cancels = 0;
    for (const QString& line : log())
        cancels += line == "CancelSynchronize";
    EXPECT_EQ(cancels, 3);
    for (CVEXWrapper* component : window->components()) {
        EXPECT_EQ(component->syncThread(), nullptr);
        EXPECT_EQ(component->progressLine(), nullptr);
    }
}

} // namespace
