// Message boxes, and the record of them that GUI tests read and answer. A queued answer
// stands in for the person: the box is then recorded but never shown.
#include "platform/qt/backend.h"
#include "platform/qt/test_hooks.h"

#include <QMessageBox>

#include <deque>

namespace qt_backend {
namespace {

struct BoxRecord {
    std::deque<int> answers;
    std::vector<ShownBox> boxes;
};

BoxRecord& box_record()
{
    static BoxRecord record;
    return record;
}

int ask(QWidget* owner, const std::string& text, const std::string& caption,
        platform::Buttons buttons)
{
    QMessageBox box(owner);
    QString shown = to_qt(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    box.setWindowTitle(to_qt(caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    if (buttons == platform::Buttons::ok_cancel) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    // Like its owner's own message box: the owner waits, the other windows stay as they are.
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    return box.exec() == QMessageBox::Cancel ? platform::answer_cancel : platform::answer_ok;
}

} // namespace

void answer_next_box(int answer)
{
    box_record().answers.push_back(answer);
}

void clear_box_answers()
{
    box_record().answers.clear();
}

std::vector<ShownBox> take_boxes()
{
    std::vector<ShownBox> boxes;
    boxes.swap(box_record().boxes);
    return boxes;
}

} // namespace qt_backend

namespace platform {

int message_box(Window owner, const std::string& text, const char* caption, Buttons buttons)
{
    qt_backend::BoxRecord& record = qt_backend::box_record();
    const std::string title = caption ? caption : text;
    qt_backend::ShownBox shown{owner, dialog_template(owner), text, title, buttons, answer_ok,
                               false};
    if (!record.answers.empty()) {
        shown.answer = buttons == Buttons::ok ? answer_ok : record.answers.front();
        shown.answered_from_queue = true;
        record.answers.pop_front();
    } else {
        QWidget* window = owner && owner->open ? owner->window.data() : nullptr;
        shown.answer = qt_backend::ask(window, text, title, buttons);
    }
    record.boxes.push_back(shown);
    return shown.answer;
}

} // namespace platform
