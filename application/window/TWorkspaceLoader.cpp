#include "TWorkspaceLoader.h"

#include "ApplicationWindow.h"
#include "CVEXWrapper.h"
#include "ClientIStream.h"
#include "DorvoAssert.h"
#include "GuidConversion.h"
#include "TDocumentPortSection.h"
#include "TPortRemapping.h"
#include "TUserMessage.h"
#include "TVirtualMIDIPortAccessor.h"
#include "noCancelProgresss.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <memory>

namespace {

// The largest window side taken from a document; anything beyond is not a real geometry.
constexpr int kLargestSide = 32767;
// More than any document's header takes.
constexpr qint64 kHeaderPeek = 64 * 1024;

QString tr(const char* text) {
    return QCoreApplication::translate("TWorkspaceLoader", text);
}

QString openFailure(const QString& reason) {
    return tr("Document failed to open, due to the following reason:\n") + reason;
}

bool isUsableGeometry(const QRect& rect) {
    return rect.isValid() && rect.width() <= kLargestSide && rect.height() <= kLargestSide;
}

} // namespace

HRESULT TWorkspaceLoader::load(QDataStream& stream, bool quiet) {
    m_quiet = quiet;
    m_componentLines.clear();
    m_window.pendingWarningText().clear();
    if (!m_window.portAccessor()) {
        report(openFailure(tr("Memory could not be allocated.")));
        return E_FAIL;
    }
    const auto incompatible = [this] {
        report(openFailure(tr("Document is not compatible with this version of software.")));
        return E_FAIL;
    };
    QIODevice* device = stream.device();
    // Whatever is not a document (a song or a film renamed .XDW) is refused by its first bytes,
    // before the whole of it is read into memory.
    if (!device || TDocumentReader::read(device->peek(kHeaderPeek)).outcome ==
                       TDocumentReader::Outcome::Incompatible)
        return incompatible();
    const qint64 start = device->pos();
    const QByteArray bytes = device->readAll();
    const TDocumentReader::Result read = TDocumentReader::read(bytes);
    // A header longer than the first look is judged here.
    if (read.outcome == TDocumentReader::Outcome::Incompatible)
        return incompatible();
    // Whatever follows the document in the stream is left to the caller.
    if (read.outcome == TDocumentReader::Outcome::Complete && !device->isSequential())
        device->seek(start + read.endOffset);

    const xdw::Document& document = read.document;
    if (read.hasItem(TDocumentReader::Geometry) && isUsableGeometry(document.geometry))
        m_window.setGeometry(document.geometry);
    if (read.hasItem(TDocumentReader::Ports))
        applyPorts(document.ports);

    std::unique_ptr<noCancelProgresss> progress;
    if (!quiet) {
        progress = std::make_unique<noCancelProgresss>(
            &m_window, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        progress->setModal(true);
        progress->loadingProgress()->setRange(0, int(std::min<qint64>(bytes.size(), INT_MAX)));
        progress->show();
    }
    if (read.hasItem(TDocumentReader::View))
        applyView(document);
    const QList<QPointer<CVEXWrapper>> loaded = loadComponents(document.components, progress.get());
    if (document.recallEnabled)
        applyRecallEnabled(*document.recallEnabled, loaded);
    if (document.thru)
        TDocumentPortSection(*m_window.portAccessor()).readThru(*document.thru);
    m_window.showThruToolBarOnly(m_window.portAccessor()->thruSettings().on);
    if (progress)
        progress->close();

    if (!m_componentLines.isEmpty())
        report(tr("Following component(s) could not be loaded.\nPlease ensure that you have "
                  "installed required component(s) correctly.\n") +
               m_componentLines);
    if (read.outcome == TDocumentReader::Outcome::Damaged) {
        report(openFailure(tr("The document is damaged at byte %1 (%2). What came before the "
                              "damage has been loaded; the file itself was not changed.")
                               .arg(start + read.defectOffset)
                               .arg(read.defect)));
        return E_FAIL;
    }
    return S_OK;
}

void TWorkspaceLoader::report(const QString& text) {
    if (!m_quiet) {
        TUserMessage::warning(&m_window, text);
        return;
    }
    QString& pending = m_window.pendingWarningText();
    if (!pending.isEmpty())
        pending += QStringLiteral("\n\n");
    pending += text;
}

void TWorkspaceLoader::applyPorts(const xdw::PortSection& section) {
    TVirtualMIDIPortAccessor& ports = *m_window.portAccessor();
    const TDocumentPortSection::MissingPorts missing = TDocumentPortSection(ports).read(section);
    const QString text = TDocumentPortSection::missingPortsText(missing);
    if (text.isEmpty())
        return;
    report(text);
    if (m_quiet)
        TPortRemapping(ports).applyQuietly();
    else
        m_window.runRemapDialog(TPortRemapping::Form::AfterLoad);
}

void TWorkspaceLoader::applyView(const xdw::Document& document) {
    QListWidget* view = m_window.iconView();
    if (!view)
        return;
    m_window.setSorting(document.view.value(xdw::kSortingKey).toBool());
    view->setFlow(document.view.value(xdw::kArrangementKey).toInt() == 1 ? QListView::TopToBottom
                                                                         : QListView::LeftToRight);
}

QList<QPointer<CVEXWrapper>> TWorkspaceLoader::loadComponents(const QList<xdw::Component>& entries,
                                                              noCancelProgresss* progress) {
    QList<QPointer<CVEXWrapper>> loaded;
    for (const xdw::Component& entry : entries) {
        if (progress) {
            progress->msgLabel()->setText(tr("Now loading component\n    ") + entry.name);
            progress->msgLabel()->repaint();
        }
        loaded.append(loadComponent(entry));
        if (progress)
            progress->loadingProgress()->setValue(int(std::min<qint64>(entry.endOffset, INT_MAX)));
    }
    return loaded;
}

CVEXWrapper* TWorkspaceLoader::loadComponent(const xdw::Component& entry) {
    const QUuid classId(entry.classId);
    DORVO_CHECK_TEXT(classId.toString() == entry.classId,
                     "clsidString.toString() == clsid.toString()");
    const TCatalogueEntry* installed = m_window.findCatalogueEntry(guidFromUuid(classId));
    CVEXWrapper* component = installed ? m_window.addComponent(*installed, entry.name) : nullptr;
    if (!component) {
        m_componentLines +=
            tr("\nComponent \"") + entry.name + tr("\" - Status: <component not installed>");
        return nullptr;
    }
    component->setRecallMask(entry.recallMask);
    if (IPersistStream* persistence = component->persistence()) {
        QByteArray state = entry.state;
        QBuffer buffer(&state);
        buffer.open(QIODevice::ReadOnly);
        auto* stream = new ClientIStream;
        stream->setDevice(&buffer);
        const HRESULT result = persistence->Load(stream);
        stream->setDevice(nullptr);
        stream->Release();
        if (FAILED(result))
            m_componentLines += tr("\nComponent \"") + entry.name + tr("\" - Status: ") +
                                component->statusText(result);
    }
    if (entry.editorOpen) {
        // The outer application's pages open after the load, when its thread can answer.
        if (component->showsEditorAsPage())
            component->setEditorWasOpen(true);
        else if (isUsableGeometry(entry.editorGeometry))
            component->showEditorAt(entry.editorGeometry);
        else
            component->showEditor();
    }
    return component;
}

void TWorkspaceLoader::applyRecallEnabled(const QList<qint32>& values,
                                          const QList<QPointer<CVEXWrapper>>& loaded) {
    // The values follow the document's entries, loaded or not.
    for (qsizetype i = 0; i < loaded.size() && i < values.size(); ++i) {
        CVEXWrapper* component = loaded.at(i);
        if (component && values.at(i) == 0 && component->recallEnabled()) {
            component->setRecallEnabled(false);
            component->refreshIcon();
        }
    }
}

HRESULT TWorkspaceLoader::loadFile(const QString& path, const QString& extension) {
    if (!path.endsWith(extension, Qt::CaseInsensitive)) {
        TUserMessage::critical(
            &m_window, ApplicationWindow::tr("Could not open '%1' Wrong Format.").arg(path));
        return E_FAIL;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        TUserMessage::critical(&m_window,
                               ApplicationWindow::tr("Could not open '%1' for reading: %2")
                                   .arg(path, file.errorString()));
        return E_FAIL;
    }
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_3_3);
    return load(stream, false);
}
