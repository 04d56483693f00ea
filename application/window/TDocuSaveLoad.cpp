#include "TDocuSaveLoad.h"

#include "TFileDialog.h"
#include "TUserMessage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QWidget>

namespace NS_Utilities {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TDocuSaveLoad", text);
}

QString fileError(const QFileDevice& file) {
    return QCoreApplication::translate("QFile", file.errorString().toUtf8().constData());
}

} // namespace

TDocuSaveLoad::~TDocuSaveLoad() = default;

// ---- Names and types ----------------------------------------------------------------------

void TDocuSaveLoad::addDocumentType(const QString& extension, const QString& description) {
    m_extensions.append(extension);
    m_descriptions.append(description);
}

QString TDocuSaveLoad::filterText() const {
    QStringList filters;
    for (qsizetype i = 0; i < m_extensions.size(); ++i)
        filters.append(m_descriptions.value(i) + QStringLiteral("( *") + m_extensions.at(i) +
                       QStringLiteral(")"));
    return filters.join(QStringLiteral(";;"));
}

int TDocuSaveLoad::fixExtension(QString& name, const QString& filter) const {
    if (m_extensions.isEmpty())
        return 0;
    int type = 0;
    for (qsizetype i = 0; i < m_extensions.size(); ++i) {
        if (filter.contains(m_extensions.at(i), Qt::CaseInsensitive)) {
            type = int(i);
            break;
        }
    }
    const QString& extension = m_extensions.at(type);
    const qsizetype separator = name.lastIndexOf(QDir::separator());
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > separator) {
        if (name.mid(dot).compare(extension, Qt::CaseInsensitive) == 0)
            return type;
        name.truncate(dot);
    }
    name += extension;
    return type;
}

QString TDocuSaveLoad::documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString TDocuSaveLoad::messageCaption(QWidget* parent) const {
    const QString caption = parent ? parent->window()->windowTitle() : QString();
    return caption.isEmpty() ? defaultCaption() : caption;
}

void TDocuSaveLoad::showCritical(QWidget* parent, const QString& text) {
    TUserMessage::show({TUserMessage::Kind::Critical, parent, messageCaption(parent), text,
                        QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok});
}

// ---- Saving -----------------------------------------------------------------------------------

HRESULT TDocuSaveLoad::save(QWidget* parent, int) {
    QString name = m_documentName;
    if (!isNamed()) {
        name = askSaveName(parent);
        if (name.isEmpty())
            return E_ABORT;
    }
    if (name.isEmpty())
        return E_ABORT;
    fixExtension(name, m_selectedFilter);
    const std::optional<HRESULT> written = writeDocument(parent, name);
    if (!written)
        return E_FAIL;
    const HRESULT result = *written;
    if (result != S_OK) {
        // The file holds the Workspace only up to the component that failed: the next save
        // asks for a name again.
        setModified(true);
        setNamed(false);
        return result;
    }
    setDocumentName(name);
    return S_OK;
}

QString TDocuSaveLoad::askSaveName(QWidget* parent) {
    QString start = m_documentName.isNull() ? QStringLiteral("Untitled") : m_documentName;
    fixExtension(start, m_selectedFilter);
    const QFileInfo startInfo(start);
    if (!startInfo.dir().exists())
        start = QDir::toNativeSeparators(documentsFolder() + QStringLiteral("/") +
                                         startInfo.fileName());
    const TFileDialog::Answer answer = TFileDialog::ask({TFileDialog::Kind::Save, parent,
                                                         tr("Choose a XDW filename to save under"),
                                                         start, filterText(), m_selectedFilter});
    if (answer.fileName.isEmpty())
        return QString();
    m_selectedFilter = answer.selectedFilter;
    QString name = answer.fileName;
    fixExtension(name, m_selectedFilter);
    if (!confirmOverwrite(parent, name)) {
        showCritical(parent, tr("Document \"%1\" not saved.").arg(name));
        return QString();
    }
    return name;
}

bool TDocuSaveLoad::confirmOverwrite(QWidget* parent, const QString& name) {
    if (!QFileInfo::exists(name))
        return true;
    // The old file is not deleted here: it is replaced only once the new one is written whole.
    const QString text =
        tr("A file called %1 already exists. Do you want to overwrite it?").arg(name);
    return TUserMessage::show({TUserMessage::Kind::Question, parent, messageCaption(parent), text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                               QMessageBox::No}) == QMessageBox::Yes;
}

// Writes beside the old file and puts the new one in its place only when it is complete, so
// that a full disk or a crash never leaves the user without the last good document.
std::optional<HRESULT> TDocuSaveLoad::writeDocument(QWidget* parent, const QString& name) {
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        showCritical(parent, tr("Could not open '%1' for writing: %2").arg(name, fileError(file)));
        return std::nullopt;
    }
    const bool wasModified = isModified();
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_3_3);
    const HRESULT result = saveToStream(stream, false, false);
    // The toolkit's commit does not see a flush that fell short (a full disk), so the flush and
    // the size on disk are checked before the new file takes the old one's place.
    const bool complete =
        stream.status() == QDataStream::Ok && file.flush() && file.size() == file.pos();
    if (!complete || !file.commit()) {
        const QString error = file.error() != QFileDevice::NoError
                                  ? fileError(file)
                                  : tr("the document could not be written completely");
        file.cancelWriting();
        showCritical(parent, tr("Could not open '%1' for writing: %2").arg(name, error));
        // Nothing was saved: the changes are still only in the Workspace.
        setModified(wasModified || result != S_OK);
        return std::nullopt;
    }
    return result;
}

HRESULT TDocuSaveLoad::saveAs(QWidget* parent, int index) {
    const bool wasNamed = isNamed();
    setNamed(false);
    const HRESULT result = save(parent, index);
    if (result < 0)
        setNamed(wasNamed);
    return result;
}

// ---- Loading ----------------------------------------------------------------------------------

HRESULT TDocuSaveLoad::load(QWidget* parent, int) {
    const HRESULT asked = askToSaveChanges(parent);
    if (asked != S_OK)
        return asked;
    QString directory = QFileInfo(m_documentName).path();
    if (m_documentName.isEmpty() || !QDir(directory).exists())
        directory = documentsFolder();
    const TFileDialog::Answer answer =
        TFileDialog::ask({TFileDialog::Kind::Open, parent, tr("Choose a XDW document to load"),
                          directory, filterText(), m_selectedFilter});
    if (answer.fileName.isEmpty())
        return E_ABORT;
    QString name = answer.fileName;
    fixExtension(name, answer.selectedFilter);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        showCritical(parent, tr("Could not open '%1' for reading: %2").arg(name, fileError(file)));
        return E_ABORT;
    }
    eraseCurrentDocument();
    QCoreApplication::processEvents();
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_3_3);
    const HRESULT result = loadFromStream(stream, false);
    file.close();
    m_selectedFilter = answer.selectedFilter;
    setDocumentName(name);
    // A document that was not read whole is not saved over without asking for a name: the
    // overwrite question then stands between the user and the file that could not be read.
    if (result != S_OK)
        setNamed(false);
    return result;
}

// ---- Marks ------------------------------------------------------------------------------------

bool TDocuSaveLoad::isModified() {
    return m_flags & Modified;
}

bool TDocuSaveLoad::isNamed() const {
    return m_flags & Named;
}

HRESULT TDocuSaveLoad::askToSaveChanges(QWidget* parent) {
    if (QWidget* popup = QApplication::activePopupWidget(); popup && !popup->close())
        return E_ABORT;
    if (!isModified())
        return S_OK;
    QString text = tr("Save changes");
    if (!m_documentName.isEmpty())
        text += tr(" to ") + m_documentName;
    text += QStringLiteral("?");
    const TUserMessage::Request request{TUserMessage::Kind::Question,
                                        parent,
                                        messageCaption(parent),
                                        text,
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                        QMessageBox::Yes,
                                        QMessageBox::Cancel};
    switch (TUserMessage::show(request)) {
    case QMessageBox::Yes:
        return save(parent, 0);
    case QMessageBox::No:
        return S_OK;
    default:
        return E_ABORT;
    }
}

} // namespace NS_Utilities
