#include "TDocuSaveLoad.h"

#include "TUserMessage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWidget>

namespace NS_Utilities {

TDocuSaveLoad::~TDocuSaveLoad() = default;

// Reading and writing the file through the file dialogs comes with the workspace document
// format; until then nothing is written or read and the caller learns so.
HRESULT TDocuSaveLoad::save(QWidget*, int) {
    qWarning("Workspace documents cannot be saved yet");
    return E_NOTIMPL;
}

HRESULT TDocuSaveLoad::load(QWidget*, int) {
    qWarning("Workspace documents cannot be loaded yet");
    return E_NOTIMPL;
}

HRESULT TDocuSaveLoad::saveAs(QWidget* parent, int index) {
    const bool wasNamed = isNamed();
    setNamed(false);
    const HRESULT result = save(parent, index);
    if (result < 0)
        setNamed(wasNamed);
    return result;
}

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
    QString text = QCoreApplication::translate("TDocuSaveLoad", "Save changes");
    if (!m_documentName.isEmpty())
        text += QCoreApplication::translate("TDocuSaveLoad", " to ") + m_documentName;
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

void TDocuSaveLoad::addDocumentType(const QString& extension, const QString& description) {
    m_extensions.append(extension);
    m_descriptions.append(description);
}

QString TDocuSaveLoad::messageCaption(QWidget* parent) const {
    const QString caption = parent ? parent->window()->windowTitle() : QString();
    return caption.isEmpty() ? defaultCaption() : caption;
}

} // namespace NS_Utilities
