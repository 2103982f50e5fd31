# The Windows build compiles sqlite3.dll itself (cmake/windows.cmake); this only says so.
set(SQLite3_FOUND TRUE)
