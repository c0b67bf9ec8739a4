#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The dialog templates of every window of the system: the main window, the pages and the
// navigation bar. Coordinates are dialog units; CFixDPIDialog turns them into pixels with the
// base units of the template font, so the layout has the same pixel size on every screen.
namespace resources {

// Window style bits as the templates store them (the values of the Windows headers, so the
// tables read like the resource script they stand for).
namespace style {
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t DS_SETFONT = 0x0040;
constexpr std::uint32_t DS_CONTROL = 0x0400;
constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020;
constexpr std::uint32_t WS_EX_CONTROLPARENT = 0x00010000;
constexpr std::uint32_t SS_LEFT = 0x0000;
constexpr std::uint32_t SS_CENTER = 0x0001;
constexpr std::uint32_t SS_RIGHT = 0x0002;
constexpr std::uint32_t BS_DEFPUSHBUTTON = 0x0001;
constexpr std::uint32_t BS_GROUPBOX = 0x0007;
constexpr std::uint32_t ES_PASSWORD = 0x0020;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr std::uint32_t LVS_REPORT = 0x0001;
constexpr std::uint32_t LVS_SINGLESEL = 0x0004;
constexpr std::uint32_t LVS_SHOWSELALWAYS = 0x0008;
constexpr std::uint32_t LVS_EDITLABELS = 0x0200;
constexpr std::uint32_t LVS_ALIGNLEFT = 0x0800;
} // namespace style

// The control id of items that nobody addresses (labels).
constexpr int IDC_STATIC = -1;

enum class ControlKind {
    Static,      // text label, or an invisible placeholder / frame when not WS_VISIBLE
    Edit,        // single-line edit box
    Button,      // push button (BS_DEFPUSHBUTTON marks the default one)
    GroupBox,    // group box frame
    ListView,    // report list
    ProgressBar, // progress bar (only its rectangle is used)
};

struct DialogItem {
    int id;
    ControlKind kind;
    std::u16string_view text;
    std::uint32_t style;
    int x, y, cx, cy;

    bool visible() const { return (style & style::WS_VISIBLE) != 0; }
    bool enabled() const { return (style & style::WS_DISABLED) == 0; }
};

struct DialogTemplate {
    int id;
    std::uint32_t style;
    std::uint32_t exStyle;
    int cx, cy;
    int menuId; // 0: none
    std::u16string_view fontFace;
    int pointSize;
    int weight;
    bool italic;
    std::span<const DialogItem> items;

    bool hasSetFont() const { return (style & style::DS_SETFONT) != 0; }
    // The first item with this id, or null.
    const DialogItem* item(int id) const;
};

// The template with this id, or null.
const DialogTemplate* findDialogTemplate(int id);

// Every template, in id order.
std::span<const DialogTemplate> allDialogTemplates();

} // namespace resources
