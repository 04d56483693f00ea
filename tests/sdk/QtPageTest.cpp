// The page helper for Qt-based components: a page put into a host container's native window,
// moved, shown and hidden as the host asks, taken out again, and refused where it cannot go.
#include <dorvo/qtpage.h>

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace dorvo::qtpage;

namespace {

RECT rect(LONG left, LONG top, LONG right, LONG bottom) {
    return RECT{left, top, right, bottom};
}

TEST(QtPage, EmbedsIntoTheContainerBehindTheHandleAndFollowsTheHost) {
    QWidget container;
    container.resize(400, 300);
    container.show();
    auto* page = new QLabel(QStringLiteral("page"));
    const RECT area = rect(0, 0, 320, 200);

    ASSERT_EQ(embedPage(page, windowHandle(&container), &area), S_OK);
    EXPECT_EQ(page->parentWidget(), &container);
    EXPECT_EQ(page->geometry(), QRect(0, 0, 320, 200));
    EXPECT_FALSE(page->isVisible()) << "shown only when the host says so";

    EXPECT_EQ(showPage(page, SW_SHOW), S_OK);
    EXPECT_TRUE(page->isVisible());
    const RECT moved = rect(10, 20, 110, 70);
    EXPECT_EQ(movePage(page, &moved), S_OK);
    EXPECT_EQ(page->geometry(), QRect(10, 20, 100, 50));
    EXPECT_EQ(showPage(page, SW_HIDE), S_OK);
    EXPECT_FALSE(page->isVisible());

    // Out again, and into another container (a kept page shown in a new window).
    detachPage(page);
    EXPECT_EQ(page->parentWidget(), nullptr);
    EXPECT_FALSE(page->isVisible());
    QWidget other;
    ASSERT_EQ(embedPage(page, windowHandle(&other), &area), S_OK);
    EXPECT_EQ(page->parentWidget(), &other);
    delete page;
}

TEST(QtPage, APageGoesWithAContainerThatTheHostDestroysFirst) {
    auto* container = new QWidget;
    QPointer<QWidget> page = new QWidget;
    const RECT area = rect(0, 0, 50, 50);
    ASSERT_EQ(embedPage(page, windowHandle(container), &area), S_OK);
    delete container;
    EXPECT_TRUE(page.isNull());
    detachPage(page); // what Deactivate then does must be harmless
}

TEST(QtPage, RefusesWhatItCannotEmbedAndLeavesThePageAlone) {
    QWidget container;
    QWidget page;
    QWidget pageChild(&page);
    const RECT area = rect(0, 0, 50, 50);
    EXPECT_EQ(embedPage(nullptr, windowHandle(&container), &area), E_POINTER);
    EXPECT_EQ(embedPage(&page, windowHandle(&container), nullptr), E_POINTER);
    EXPECT_EQ(embedPage(&page, nullptr, &area), E_INVALIDARG);
    EXPECT_EQ(embedPage(&page, windowHandle(&pageChild), &area), E_INVALIDARG)
        << "a page cannot go inside itself";
    // No widget of this process has that id, and the offscreen platform has no foreign windows.
    EXPECT_EQ(embedPage(&page, reinterpret_cast<HWND>(uintptr_t(0x7FFFFFF0)), &area), E_FAIL);
    EXPECT_EQ(page.parentWidget(), nullptr);
    EXPECT_EQ(movePage(nullptr, &area), E_POINTER);
    EXPECT_EQ(movePage(&page, nullptr), E_POINTER);
    EXPECT_EQ(showPage(nullptr, SW_SHOW), E_POINTER);
}

} // namespace
