// Texts that more than one subject dialog shows. Each lives here once, so that every dialog
// shows it character for character alike; a text only one handler shows stays with it.
#pragma once

namespace subjects::text {

inline constexpr const char* select_person = "Select a person";
inline constexpr const char* cannot_prepare_select = "Cannot prepare statement - select person";
inline constexpr const char* cannot_prepare_update = "Cannot prepare statement - update person";
inline constexpr const char* no_person_found = "Error no person found";
inline constexpr const char* person_exists = "Person already exist";
inline constexpr const char* cannot_prepare_link = "Cannot prepare statement for subjectlink";

// Field messages shared by fields of the same meaning in different dialogs.
inline constexpr const char* email_too_long = "Email too long";
inline constexpr const char* telephone_too_long = "Telephonenumber too long";
inline constexpr const char* mobile_too_long = "Mobilenumber too long";
inline constexpr const char* description_too_long = "Description too long";

} // namespace subjects::text
