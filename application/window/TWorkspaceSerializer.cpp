#include "TWorkspaceSerializer.h"

#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "ClientIStream.h"
#include "GuidConversion.h"
#include "TDocumentPortSection.h"
#include "TDocumentWriter.h"
#include "TUserMessage.h"

#include <dorvo/objbase.h>

#include <CAppServer.h>

#include <QBuffer>
#include <QListWidget>
#include <QMutexLocker>
#include <QScrollBar>

HRESULT TWorkspaceSerializer::save(QDataStream& stream, bool quiet, bool keepModified) {
    if (!quiet)
        CAppServer::PrepareForBusyAction(nullptr);
    if (!keepModified)
        m_window.setModified(false);

    TDocumentWriter writer(stream);
    writer.writeHeader(xdw::headerText(TUserMessage::applicationTitle()));
    writer.writeGeometry(m_window.geometry());
    if (TVirtualMIDIPortAccessor* ports = m_window.portAccessor())
        writer.writePortSection(TDocumentPortSection(*ports).write());
    else
        writer.writePortSection(xdw::PortSection());
    writer.writeViewSettings(viewSettings());

    HRESULT failure = S_OK;
    QList<qint32> recallEnabled;
    for (CVEXWrapper* component : m_window.components()) {
        const std::optional<xdw::Component> entry = componentEntry(component, failure);
        if (failure != S_OK)
            break;
        if (!entry)
            continue;
        writer.writeComponent(*entry);
        recallEnabled.append(component->recallEnabled() ? 1 : 0);
    }

    xdw::ThruSection thru;
    if (TVirtualMIDIPortAccessor* ports = m_window.portAccessor())
        thru = TDocumentPortSection(*ports).writeThru();
    writer.writeEnd(xdw::kMinorVersion, recallEnabled, thru);
    return failure;
}

namespace {

QMap<QString, QVariant> viewSettingsOf(bool topToBottom, bool sorting) {
    return {{xdw::kMinorVersionKey, QVariant(quint32(xdw::kMinorVersion))},
            {xdw::kArrangementKey, QVariant(qint32(topToBottom ? 1 : 0))},
            {xdw::kSortingKey, QVariant(qint32(sorting ? 1 : 0))}};
}

} // namespace

QMap<QString, QVariant> TWorkspaceSerializer::viewSettings() const {
    QListWidget* view = m_window.iconView();
    const bool topToBottom = view && view->flow() == QListView::TopToBottom;
    return viewSettingsOf(topToBottom, m_window.isSorting());
}

void TWorkspaceSerializer::saveEmpty(QDataStream& stream) {
    TDocumentWriter writer(stream);
    writer.writeHeader(xdw::headerText(TUserMessage::applicationTitle()));
    writer.writeGeometry(QRect(QPoint(100, 100), QPoint(499, 399)));
    writer.writePortSection(xdw::PortSection());
    writer.writeViewSettings(viewSettingsOf(false, false));
    writer.writeEnd(xdw::kMinorVersion, {}, xdw::ThruSection());
}

std::optional<xdw::Component> TWorkspaceSerializer::componentEntry(CVEXWrapper* component,
                                                                   HRESULT& failure) {
    IPersistStream* persistence = component->persistence();
    CLSID classId{};
    if (!persistence || FAILED(persistence->GetClassID(&classId)))
        return std::nullopt;

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    auto* stream = new ClientIStream;
    stream->setDevice(&buffer);
    const HRESULT saved = persistence->Save(stream, TRUE);
    // A component that kept the stream finds it without a device rather than a dead buffer.
    stream->setDevice(nullptr);
    stream->Release();
    if (FAILED(saved)) {
        failure = saved;
        return std::nullopt;
    }

    xdw::Component entry;
    entry.classId = uuidFromGuid(classId).toString();
    entry.name = component->instanceName();
    entry.editorOpen = component->hasEditorWindow() ? 1 : 0;
    entry.editorGeometry = component->editorGeometry();
    entry.iconPosition = iconPosition(component);
    entry.recallMask = component->recallMask();
    entry.state = buffer.data();
    return entry;
}

QPoint TWorkspaceSerializer::iconPosition(CVEXWrapper* component) const {
    QListWidget* view = m_window.iconView();
    if (!view || component->listWidget() != view)
        return QPoint(0, 0);
    // In the view's contents, not its scrolled viewport.
    const QPoint scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    return view->visualItemRect(component).topLeft() + scrolled;
}
