# What the Windows build adds to the tree: every program and sqlite3.dll in one folder, the
# wide Win32 API, SQLite compiled from its pinned amalgamation, and GoogleTest from source.
# Qt is not used on Windows; the program links the native dialog backend instead.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# --- sqlite3.dll ------------------------------------------------------------------------
set(VENDREL_SQLITE_DIR ${PROJECT_SOURCE_DIR}/build/cache/sqlite CACHE PATH
    "Folder holding the SQLite amalgamation (sqlite3.c, sqlite3.h) for sqlite3.dll")
set(sqlite_sha256 60d2f39a3726cd6b9021da6f4e868608d66fbb6528a9f513dc8ffcc640493422)
if(NOT EXISTS ${VENDREL_SQLITE_DIR}/sqlite3.c)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-sqlite ${VENDREL_SQLITE_DIR}
                  RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0)
    message(FATAL_ERROR "The SQLite amalgamation could not be fetched (scripts/fetch-sqlite)")
  endif()
endif()
file(SHA256 ${VENDREL_SQLITE_DIR}/sqlite3.c sqlite_actual)
if(NOT sqlite_actual STREQUAL sqlite_sha256)
  message(FATAL_ERROR "${VENDREL_SQLITE_DIR}/sqlite3.c is not the pinned SQLite 3.53.2 "
                      "(SHA-256 ${sqlite_actual}); remove it and configure again")
endif()

enable_language(C)
enable_language(RC)
add_library(sqlite3 SHARED ${VENDREL_SQLITE_DIR}/sqlite3.c)
set_target_properties(sqlite3 PROPERTIES PREFIX "" OUTPUT_NAME sqlite3 C_VISIBILITY_PRESET default)
target_compile_definitions(sqlite3 PRIVATE SQLITE_THREADSAFE=1 "SQLITE_API=__declspec(dllexport)")
target_compile_options(sqlite3 PRIVATE -w)
target_include_directories(sqlite3 INTERFACE ${VENDREL_SQLITE_DIR})
# The tests read the file through a second connection of the same library.
add_library(SQLite::SQLite3 ALIAS sqlite3)

# --- GoogleTest, compiled by the cross compiler from the sources Debian ships ---------------
set(VENDREL_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VENDREL_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# find_package(GTest) and find_package(SQLite3) in the test folders find the targets above.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows)

# Tests are listed when CTest runs, under Wine, rather than at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
