// The dialog templates and the program icon, as plain data. The backends of the platform
// layer build their windows from these; nothing here knows how they are drawn.
#pragma once

namespace resources {

enum class ControlKind {
    push_button,
    edit,
    static_text,
    list_box,
    combo_box, // always a drop-down list of texts; its height is that of the open list
};

// Control styles that change behaviour or look.
enum ControlStyle : unsigned {
    style_none = 0,
    style_read_only = 1u << 0,      // edit: the user cannot change it
    style_password = 1u << 1,       // edit: typed characters hidden
    style_multi_line = 1u << 2,     // edit: several lines, Enter starts a new line
    style_sorted = 1u << 3,         // list: keeps its lines sorted
    style_notify = 1u << 4,         // list: tells the dialog of selection changes and double-clicks
    style_wants_keys = 1u << 5,     // list: the dialog is asked about arrow keys
    style_default_button = 1u << 6, // push button: Enter presses it when no button has focus
    style_no_tab_stop = 1u << 7,    // not reached with the Tab key
    style_caption_lines = 1u << 8,  // push button: caption wraps onto several lines
    style_horizontal_scroll = 1u << 9, // edit: scrolls horizontally instead of stopping
    style_vertical_scroll = 1u << 10,  // list, combo or multi-line edit: vertical scroll bar
    style_tab_stops = 1u << 11,        // list: tab characters move to its tab stops
    style_border = 1u << 12,           // list: drawn with a border
};

// One control, positions and sizes in dialog units.
struct ControlTemplate {
    int id; // -1 for labels that nobody addresses
    ControlKind kind;
    const char* caption;
    int x, y, width, height;
    unsigned style;
};

// One dialog; controls in creation order, which is also the tab order.
struct DialogTemplate {
    int id;
    const char* caption;
    int x, y, width, height;
    bool minimize_maximize; // title bar with minimise and maximise boxes
    const ControlTemplate* controls;
    int control_count;
};

// The template of a dialog resource, or nullptr when there is none.
const DialogTemplate* find_dialog_template(int id);

// Every dialog template, for tests and tools that visit them all.
const DialogTemplate* const* all_dialog_templates(int* count);

// Dialog font: every template uses this face at this point size.
constexpr const char* dialog_font_face = "Helv";
constexpr int dialog_font_points = 8;

// The program icon (ids::program_icon): a square picture, one character per pixel, rows
// top to bottom; each character names an entry of the palette, '.' is transparent.
struct IconImage {
    int size;                 // width and height in pixels
    const char* const* rows;  // size rows of size characters
    const char* palette_keys; // characters used in rows, besides '.'
    const unsigned* palette;  // 0xRRGGBB for each key, same order
};
const IconImage* find_icon(int id);

// The colour at x, y of the icon drawn size pixels wide, enlarged or shrunk without smoothing
// as every backend draws it: 0xAARRGGBB, and 0 (transparent) where the art has '.'. For the
// tools that write the icon into files of other systems.
unsigned icon_pixel(const IconImage& image, int size, int x, int y);

} // namespace resources
