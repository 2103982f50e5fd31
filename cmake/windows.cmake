# What the Windows build adds to the tree: every program and sqlite3.dll in one folder, the
# wide Win32 API, SQLite compiled from its pinned amalgamation, OpenSSL's static libraries,
# and GoogleTest from source.
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

# --- OpenSSL, linked statically ----------------------------------------------------------
# libcrypto.a and libssl.a of scripts/fetch-openssl (scripts/setup runs it for this preset),
# found by CMake's own FindOpenSSL, which adds Winsock and the certificate store. bcrypt is
# named too, so that a release taking its random bytes from BCryptGenRandom links unchanged
# (3.0 built with MinGW uses CryptGenRandom of advapi32). The licence goes with the program.
set(VENDREL_OPENSSL_DIR ${PROJECT_SOURCE_DIR}/build/cache/openssl/current CACHE PATH
    "Folder holding the static OpenSSL build (lib/, include/, LICENSE.txt) for vendrel.exe")
if(NOT EXISTS ${VENDREL_OPENSSL_DIR}/lib/libcrypto.a)
  message(FATAL_ERROR "No OpenSSL build in ${VENDREL_OPENSSL_DIR}: run scripts/fetch-openssl "
                      "(VENDREL_PRESET=windows scripts/setup does)")
endif()
set(OPENSSL_ROOT_DIR ${VENDREL_OPENSSL_DIR})
set(OPENSSL_USE_STATIC_LIBS TRUE)
list(APPEND CMAKE_FIND_ROOT_PATH ${VENDREL_OPENSSL_DIR})
find_package(OpenSSL 3 REQUIRED)
set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES bcrypt)
configure_file(${VENDREL_OPENSSL_DIR}/LICENSE.txt ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/OpenSSL-LICENSE.txt
               COPYONLY)

# --- GoogleTest, compiled by the cross compiler from the sources Debian ships ---------------
set(VENDREL_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VENDREL_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# find_package(GTest) and find_package(SQLite3) in the test folders find the targets above.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows)

# Tests are listed when CTest runs, under Wine, rather than at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
