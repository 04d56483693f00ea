// How the component build shows editors: as pages of the outer application instead of windows
// of their own. The component object provides it when the outer application can host pages;
// the Workspace window hands it to each component's icon.
#pragma once

class CVEXWrapper;

class TEditorPageHosting {
public:
    virtual ~TEditorPageHosting() = default;

    // GUI thread: whether pages can be shown now (the outer application's thread can be
    // reached); otherwise editors open in windows of their own.
    virtual bool canShowPages() const = 0;
    // GUI thread: shows the component's editor as a page of the outer application, or that
    // page again; false when the outer application refused it.
    virtual bool showEditorPage(CVEXWrapper& wrapper) = 0;
    virtual bool isEditorPageShown(const CVEXWrapper& wrapper) = 0;
    // GUI thread: the outer application closes the page; with keepEditor the editor's own page
    // stays for the next showing.
    virtual void closeEditorPage(CVEXWrapper& wrapper, bool keepEditor) = 0;
    // GUI thread: the component got a new name.
    virtual void renameEditorPage(CVEXWrapper& wrapper) = 0;
    // GUI thread: the icon goes; the outer application may keep the page's placement.
    virtual void releaseEditorPage(CVEXWrapper& wrapper) = 0;
    // The outer application's thread (before a load or a disconnect): every shown page is
    // closed.
    virtual void closeAllPages() = 0;
};
