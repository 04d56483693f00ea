// What this outer application does the same way for every property page it shows: asking the
// page for its title and size, and naming its window and area as IPropertyPage takes them.
#pragma once

#include <dorvo/objbase.h>

#include <cstdint>
#include <string>

namespace TOuterPage {

struct Info {
    std::string title; // UTF-8
    int width = 0;
    int height = 0;
};

// The page's title and size (GetPageInfo), its texts freed. A page that tells no size gets the
// size that the component's own page reports before it is first shown.
HRESULT info(IPropertyPage* page, Info& info);

// An X window as the native window handle that Activate takes.
HWND handle(std::uint32_t window);
// The whole inside of a window of this size, right and bottom outside it.
RECT area(int width, int height);

} // namespace TOuterPage
