// The dialog templates of resources/ turned into the dialog manager's own in-memory form:
// a DLGTEMPLATE with the dialog font, followed by one DLGITEMTEMPLATE per control in
// creation (= tab) order. Windows then computes the dialog units from that font.
#include "platform/win32/backend.h"
#include "platform/win32/text.h"

#include <algorithm>

namespace win32 {
namespace {

using namespace resources;

// Predefined window classes of a dialog item, by atom.
constexpr WORD class_button = 0x0080;
constexpr WORD class_edit = 0x0081;
constexpr WORD class_static = 0x0082;
constexpr WORD class_list_box = 0x0083;
constexpr WORD class_combo_box = 0x0085;

// Writes 16-bit words into DWORD-aligned memory, as the template format is laid out.
struct Writer {
    std::vector<WORD> words;

    void word(WORD value) { words.push_back(value); }
    void dword(DWORD value)
    {
        word(LOWORD(value));
        word(HIWORD(value));
    }
    void text(const char* utf8)
    {
        for (wchar_t c : to_wide(utf8 ? utf8 : ""))
            word(static_cast<WORD>(c));
        word(0);
    }
    void align() // items start on a DWORD boundary
    {
        if (words.size() % 2)
            word(0);
    }
};

DWORD dialog_style(const DialogTemplate& t)
{
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    if (t.minimize_maximize)
        style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    return style;
}

DWORD control_style(const ControlTemplate& c, bool first_default)
{
    DWORD style = WS_CHILD | WS_VISIBLE;
    const bool tab_stop = !(c.style & style_no_tab_stop);
    switch (c.kind) {
    case ControlKind::push_button:
        // Enter presses the first default button; a second one would take over otherwise.
        style |=
            (c.style & style_default_button) && first_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if (c.style & style_caption_lines)
            style |= BS_MULTILINE;
        break;
    case ControlKind::edit:
        style |= WS_BORDER | ES_LEFT;
        if (c.style & style_horizontal_scroll)
            style |= ES_AUTOHSCROLL;
        if (c.style & style_read_only)
            style |= ES_READONLY;
        if (c.style & style_password)
            style |= ES_PASSWORD;
        if (c.style & style_multi_line)
            style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
        if (c.style & style_vertical_scroll)
            style |= WS_VSCROLL;
        break;
    case ControlKind::static_text:
        return style | SS_LEFT;
    case ControlKind::list_box:
        // Never LBS_SORT: sorted lists keep the program's own order (text_rules.h).
        if (c.style & style_notify)
            style |= LBS_NOTIFY;
        if (c.style & style_wants_keys)
            style |= LBS_WANTKEYBOARDINPUT;
        if (c.style & style_tab_stops)
            style |= LBS_USETABSTOPS;
        if (c.style & style_border)
            style |= WS_BORDER;
        if (c.style & style_vertical_scroll)
            style |= WS_VSCROLL;
        break;
    case ControlKind::combo_box:
        style |= CBS_DROPDOWNLIST;
        if (c.style & style_vertical_scroll)
            style |= WS_VSCROLL;
        break;
    }
    return tab_stop ? style | WS_TABSTOP : style;
}

WORD control_class(ControlKind kind)
{
    switch (kind) {
    case ControlKind::push_button:
        return class_button;
    case ControlKind::edit:
        return class_edit;
    case ControlKind::static_text:
        return class_static;
    case ControlKind::list_box:
        return class_list_box;
    case ControlKind::combo_box:
        return class_combo_box;
    }
    return class_static;
}

} // namespace

std::vector<DWORD> build_dialog_template(int template_id)
{
    const DialogTemplate* t = find_dialog_template(template_id);
    if (!t)
        return {};
    Writer out;
    out.dword(dialog_style(*t));
    out.dword(0); // extended style
    out.word(static_cast<WORD>(t->control_count));
    out.word(static_cast<WORD>(t->x));
    out.word(static_cast<WORD>(t->y));
    out.word(static_cast<WORD>(t->width));
    out.word(static_cast<WORD>(t->height));
    out.word(0); // no menu
    out.word(0); // the dialog class
    out.text(t->caption);
    out.word(static_cast<WORD>(dialog_font_points));
    out.text(dialog_font_face);

    bool default_given = false;
    for (int i = 0; i < t->control_count; ++i) {
        const ControlTemplate& c = t->controls[i];
        const bool is_default =
            c.kind == ControlKind::push_button && (c.style & style_default_button);
        out.align();
        out.dword(control_style(c, !default_given));
        out.dword(0);
        out.word(static_cast<WORD>(c.x));
        out.word(static_cast<WORD>(c.y));
        out.word(static_cast<WORD>(c.width));
        out.word(static_cast<WORD>(c.height));
        out.word(static_cast<WORD>(c.id)); // -1 becomes 0xFFFF, the id of unaddressed labels
        out.word(0xFFFF);
        out.word(control_class(c.kind));
        const bool captioned = c.kind != ControlKind::list_box && c.kind != ControlKind::combo_box;
        out.text(captioned ? c.caption : "");
        out.word(0); // no creation data
        default_given = default_given || is_default;
    }
    out.align();
    std::vector<DWORD> memory((out.words.size() + 1) / 2, 0);
    std::copy(out.words.begin(), out.words.end(), reinterpret_cast<WORD*>(memory.data()));
    return memory;
}

} // namespace win32
