// Test helper program: creates the tables and the administrator (password "admin") in the
// database file of the documents folder that its environment gives (see home.h), and ends:
// 0 on success. A process of its own, so that the test that needs the file keeps its fresh
// process state.
#include "store/db_driver.h"
#include "store/schema.h"

int main()
{
    int status = store::bind_local_driver("data_vendrel.dat") == 0 ? 0 : 1;
    store::db_driver.column_by_name = store::local_column_by_name;
    store::SchemaFailure failure;
    if (status == 0 && store::create_schema("admin", &failure) != 0)
        status = 2;
    store::close(store::db_handle);
    return status;
}
