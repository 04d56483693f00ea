#include "CVEXWrapper.h"

#include "ApplicationWindow.h"
#include "Images.h"

#include <QIcon>
#include <QListWidget>
#include <QUrl>

CVEXWrapper::CVEXWrapper(ApplicationWindow* workspaceWindow, QListWidget* iconView,
                         const QString& instanceName)
    : QListWidgetItem(instanceName, iconView), m_workspaceWindow(workspaceWindow),
      m_instanceName(instanceName) {
    // Renamable; neither dragged nor a drop target.
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    setToolTip(instanceName);
}

CVEXWrapper::~CVEXWrapper() {
    closeEditor(true);
}

void CVEXWrapper::rename(const QString& text) {
    if (text.isEmpty())
        return;
    m_instanceName = text;
    setText(text);
    setToolTip(text);
    if (m_editorWindow)
        m_editorWindow->setWindowTitle(text);
}

void CVEXWrapper::showEditor() {
    if (m_editorWindow) {
        m_workspaceWindow->bringWindowForward(m_editorWindow);
        return;
    }
    // Opening the component's property page in its editor container comes with the
    // component hosting.
}

void CVEXWrapper::closeEditor(bool force) {
    Q_UNUSED(force); // only a container that keeps its window hidden tells the cases apart
    if (m_editorWindow)
        delete m_editorWindow.data();
}

void CVEXWrapper::refreshIcon() {
    const QString& url = m_iconUrls[m_recallEnabled ? 1 : 0];
    QPixmap image;
    if (!url.isEmpty()) {
        const QUrl parsed(url);
        image.load(parsed.isLocalFile() ? parsed.toLocalFile() : url);
    }
    if (image.isNull())
        image = dorvo::lookupImage(m_recallEnabled ? QStringLiteral("Generic_02.png")
                                                   : QStringLiteral("Generic_01.png"));
    if (!image.isNull())
        setIcon(QIcon(image));
}

bool CVEXWrapper::operator<(const QListWidgetItem& other) const {
    if (const auto* wrapper = dynamic_cast<const CVEXWrapper*>(&other))
        return m_key < wrapper->m_key;
    return QListWidgetItem::operator<(other);
}

void CVEXWrapper::propPageShow() {
    showEditor();
}

void CVEXWrapper::propPageShowByMenu() {
    showEditor();
}
