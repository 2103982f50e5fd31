// What the Qt backend keeps behind a dialog handle, and the few helpers its files share.
// Private to platform/qt: nothing outside this folder sees a Qt type.
#pragma once

#include "platform/platform.h"
#include "resources/templates.h"

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <vector>

class QEventLoop;

namespace platform {

struct ControlRecord {
    int id;
    resources::ControlKind kind;
    unsigned style;
    QPointer<QWidget> widget;
};

// A record lives for the rest of the process, so a handle the program keeps after its
// dialog has gone stays harmless: every call on it finds no widget and does nothing.
struct WindowRecord {
    int template_id = -1;
    DialogProc procedure = nullptr;
    WindowRecord* owner = nullptr;
    bool modal = false;
    bool open = true;   // controls answer; false once the dialog has gone
    bool ended = false; // end_dialog was called
    int result = 0;
    QPointer<QWidget> window;
    QEventLoop* loop = nullptr; // the modal loop, while it runs
    std::vector<ControlRecord> controls;
    int base_x = 6; // dialog base units of this dialog's font, in pixels
    int base_y = 13;
};

} // namespace platform

namespace qt_backend {

using platform::ControlRecord;
using platform::WindowRecord;

// Sends a message to the dialog's procedure; 0 when the dialog has no procedure or is gone.
intptr_t send(WindowRecord* dialog, unsigned message, uintptr_t wparam, intptr_t lparam);

// Sends a command from one of the dialog's controls (lparam 1) or from the keyboard (0).
void send_command(WindowRecord* dialog, int control_id, unsigned notification, bool from_control);

// The control of an open dialog, or nullptr.
ControlRecord* find_control(WindowRecord* dialog, int control_id);
QWidget* control_widget(WindowRecord* dialog, int control_id);

// The font every dialog is laid out with, and the dialog base units it gives: a dialog unit
// is a quarter of base_x horizontally and an eighth of base_y vertically.
QFont dialog_font();
void base_units(const QFont& font, int* base_x, int* base_y);

// Texts cross the boundary as UTF-8, so lengths the program measures are the bytes it stores;
// bytes that are not UTF-8 (from other tools' files) are shown as Windows-1252.
QString to_qt(const std::string& text);
std::string from_qt(const QString& text);

// Every record made so far, oldest first.
std::vector<WindowRecord*>& all_windows();

} // namespace qt_backend
