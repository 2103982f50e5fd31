// The session facts shared by the dialog modules.
#include "store/session.h"

namespace store {

int current_person_id = -1;
unsigned feature_flags = 0;

} // namespace store
