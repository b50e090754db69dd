#pragma once

#include <string_view>
#include <vector>

namespace orvanta::app {

// Provisional: the live data page's template until the shared dialog templates land.
enum class PageControlKind { Label, GroupBox, CheckBox, RadioButton, PushButton, DropList, Edit };

struct PageControl {
    int id;
    PageControlKind kind;
    int x, y, width, height; // dialog units
    std::string_view text;
    bool groupStart = false;
};

struct PageTemplate {
    int width, height;
    std::string_view fontFamily;
    int fontPoints;
    std::vector<PageControl> controls;
};

const PageTemplate& DataPageTemplate(bool english);

} // namespace orvanta::app
