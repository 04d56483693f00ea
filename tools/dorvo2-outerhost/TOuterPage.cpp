#include "TOuterPage.h"

#include "TOuterConsole.h"

namespace {

constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;
// Larger than any screen; a size beyond it is a page's mistake.
constexpr int kLargest = 16384;

} // namespace

namespace TOuterPage {

HRESULT info(IPropertyPage* page, Info& info) {
    PROPPAGEINFO pageInfo{};
    pageInfo.cb = sizeof pageInfo;
    const HRESULT result = page ? page->GetPageInfo(&pageInfo) : E_POINTER;
    if (SUCCEEDED(result)) {
        info.title = TOuterConsole::utf8(pageInfo.pszTitle);
        info.width = pageInfo.size.cx;
        info.height = pageInfo.size.cy;
    }
    CoTaskMemFree(pageInfo.pszTitle);
    CoTaskMemFree(pageInfo.pszDocString);
    CoTaskMemFree(pageInfo.pszHelpFile);
    if (info.width <= 0 || info.height <= 0 || info.width > kLargest || info.height > kLargest) {
        info.width = kDefaultWidth;
        info.height = kDefaultHeight;
    }
    return result;
}

HWND handle(std::uint32_t window) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

RECT area(int width, int height) {
    return RECT{0, 0, LONG(width), LONG(height)};
}

} // namespace TOuterPage
