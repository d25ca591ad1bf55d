// Dialog templates: each dialog's controls as one table in dialog units, with their styles, fonts
// and colours.
#pragma once

#include <cstdint>
#include <vector>

// Picture: a bitmap static whose painting belongs to the CStatic object bound to it.
enum class DlgKind { GroupBox, Label, Icon, Edit, PushButton, CheckBox, RadioButton, HostedControl, Picture };

// The font a control is made with: the dialog's own, or the system's fixed-pitch font.
enum class DlgFont { Dialog, SystemFixed };

using COLORREF = std::uint32_t; // 0x00BBGGRR, as the window system packs it
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr COLORREF CLR_DEFAULT = 0xFF000000; // no colour of its own: the style's

// Style bits of a template item (only the ones this program uses).
enum DlgStyle : unsigned {
    DS_NONE = 0,
    DS_DISABLED = 1u << 0,     // created disabled
    DS_MULTILINE = 1u << 1,    // multi-line edit, or a button caption that wraps
    DS_READONLY = 1u << 2,     // read-only edit
    DS_VSCROLL = 1u << 3,      // vertical scroll bar
    DS_NOTABSTOP = 1u << 4,    // left out of the tab order
    DS_DEFAULT = 1u << 5,      // the default push button
    DS_FLAT = 1u << 6,         // flat push button
    DS_CENTER = 1u << 7,       // centred static text
    DS_BORDER = 1u << 8,       // bordered static text
    DS_NOWRAP = 1u << 9,       // multi-line edit whose lines are not wrapped
    DS_GROUP = 1u << 10,       // starts a group of automatic radio buttons
};

constexpr int IDC_STATIC = -1;

struct DlgItem {
    int id;
    DlgKind kind;
    const char* caption;
    int x, y, w, h; // dialog units
    unsigned style;
    DlgFont font = DlgFont::Dialog;
    COLORREF textColor = CLR_DEFAULT;
    COLORREF bkColor = CLR_DEFAULT;
};

struct DlgTemplate {
    int id;
    const char* title;
    const char* fontFace;
    int fontPoints;
    int cx, cy; // dialog units
    std::vector<DlgItem> items;
};
