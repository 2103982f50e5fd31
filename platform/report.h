// Telling the user that a statement failed, the one way every dialog does it: a message, the
// statement's text, or both, in the few shapes the dialogs have always used. Which shape a
// failure gets is decided where the statement is written; showing it is done here.
#pragma once

#include "platform/platform.h"

#include <string>

namespace platform {

enum class Shape {
    message,                     // one box: the message
    message_captioned_statement, // one box: the message, with the statement as caption
    statement_captioned_message, // one box: the statement, with the message as caption
    message_then_statement,      // the message, then a box whose text and caption are the statement
    message_then_statement_box,  // the message, then the statement captioned "Statement"
};

struct Telling {
    const char* message;
    Shape shape;
};

// Shows telling for statement, owned by owner.
inline void tell(Window owner, const Telling& telling, const std::string& statement)
{
    switch (telling.shape) {
    case Shape::message:
        message_box(owner, telling.message);
        break;
    case Shape::message_captioned_statement:
        message_box(owner, telling.message, statement.c_str());
        break;
    case Shape::statement_captioned_message:
        message_box(owner, statement, telling.message);
        break;
    case Shape::message_then_statement:
        message_box(owner, telling.message);
        message_box(owner, statement);
        break;
    case Shape::message_then_statement_box:
        message_box(owner, telling.message);
        message_box(owner, statement, "Statement");
        break;
    }
}

} // namespace platform
