// The Workspace's ports as the setup tests use them: a real host object on the machine's (test)
// MIDI devices with the Workspace port accessor as its port list source, the messages the user
// would have seen, and what components are given as port lists.
#pragma once

#include "ClientIUnknown.h"
#include "PortServiceTestObjects.h"
#include "TUserMessage.h"
#include "TVirtualMIDIPortAccessor.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace dorvo2test {

using Selection = TVirtualMIDIPortAccessor::Selection;
using ThruSettings = TVirtualMIDIPortAccessor::ThruSettings;
constexpr int kIn = TMIDIPortAccessor::kInput;
constexpr int kOut = TMIDIPortAccessor::kOutput;

// Records every message box request and answers Yes.
struct ShownMessages {
    ShownMessages()
        : scope([this](const TUserMessage::Request& request) {
              texts.append(request.text);
              return QMessageBox::Yes;
          }) {}
    QStringList texts;
    TScopedUserMessageResponder scope;
};

class WorkspacePorts {
public:
    // The host object lists the devices present now.
    WorkspacePorts() {
        host->setWorkspaceWindow(&workspace);
        accessor = std::make_unique<TVirtualMIDIPortAccessor>(host, host->machinePortAccessor());
        // As the window does: the accessor's warnings become user messages.
        accessor->setWarningHandler(
            [](const QString& text) { TUserMessage::warning(nullptr, text); });
        host->setPortListSource(accessor.get());
    }
    ~WorkspacePorts() {
        host->setPortListSource(nullptr);
        accessor.reset();
        host->Release();
    }
    WorkspacePorts(const WorkspacePorts&) = delete;
    WorkspacePorts& operator=(const WorkspacePorts&) = delete;

    // Position of the device in the accessor's machine port list; -1 when not listed.
    int index(int direction, const std::string& device) const {
        const QList<QUuid>& ids = accessor->systemIds(direction);
        for (int i = 0; i < ids.size(); ++i) {
            if (accessor->systemPorts()->portName(ids[i]) == QString::fromStdString(device))
                return i;
        }
        return -1;
    }
    QUuid id(int direction, const std::string& device) const {
        const int at = index(direction, device);
        return at < 0 ? QUuid() : accessor->systemIds(direction)[at];
    }
    int devicePort(int direction, const std::string& device) const {
        return accessor->devicePort(direction, index(direction, device));
    }
    bool isOpen(int direction, const std::string& device) const {
        return host->isPortOpen(direction == kOut, devicePort(direction, device));
    }
    Selection select(std::initializer_list<std::string> inputs,
                     std::initializer_list<std::string> outputs) const {
        Selection selection;
        for (const std::string& device : inputs)
            selection[kIn].append(index(kIn, device));
        for (const std::string& device : outputs)
            selection[kOut].append(index(kOut, device));
        return selection;
    }
    ThruSettings thru(bool on, const std::string& input, const std::string& output) const {
        return {on, input.empty() ? 0 : index(kIn, input) + 1,
                output.empty() ? 0 : index(kOut, output) + 1};
    }

    // What a component's GetPortList gives: "number name" per port, and the ids.
    QStringList listed(int direction, QList<QUuid>* ids = nullptr) {
        MPPORTLIST list{};
        EXPECT_EQ(host->clientServices()->GetPortList(DWORD(direction), &list), S_OK);
        QStringList entries;
        for (DWORD i = 0; i < list.count; ++i) {
            entries << QStringLiteral("%1 %2")
                           .arg(list.ports[i].port)
                           .arg(QString::fromUtf16(list.ports[i].name));
            if (ids) {
                const GUID& g = list.ports[i].portId;
                ids->append(QUuid(g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                                  g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]));
            }
            CoTaskMemFree(list.ports[i].name);
        }
        CoTaskMemFree(list.ports);
        return entries;
    }
    static QString entry(int port, const std::string& device) {
        return QStringLiteral("%1 %2").arg(port).arg(QString::fromStdString(device));
    }

    ClientIUnknown* host = new ClientIUnknown;
    FakeWorkspace workspace;
    std::unique_ptr<TVirtualMIDIPortAccessor> accessor;
};

} // namespace dorvo2test
