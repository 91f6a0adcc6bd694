# Writes the engine's message table as a Windows string table, so the
# texts are kept in one place (the table in engine/core/messages.cpp, which
# the native build compiles in) and the Windows programs read them from
# their resources.
#
#   cmake -DSOURCE=<messages.cpp> -DOUTPUT=<messages.rc> -P stringtable.cmake
#
# Each entry of the table is one line of the form {id, "text"},.
if(NOT SOURCE OR NOT OUTPUT)
    message(FATAL_ERROR "stringtable.cmake: SOURCE and OUTPUT are required")
endif()

file(READ "${SOURCE}" source)
string(FIND "${source}" "kMessages[] = {" start)
if(start EQUAL -1)
    message(FATAL_ERROR "stringtable.cmake: no message table in ${SOURCE}")
endif()
string(SUBSTRING "${source}" ${start} -1 source)
string(FIND "${source}" "\n};" end)
string(SUBSTRING "${source}" 0 ${end} table)
# A list item ends at ';': texts may hold one.
string(ASCII 1 semicolon)
string(REPLACE ";" "${semicolon}" table "${table}")

string(REGEX MATCHALL "\n[ \t]*{[0-9]+, \"([^\"\\\\]|\\\\.)*\"}," entries "${table}")
string(REGEX MATCHALL "\n[ \t]*{" lines "${table}")
list(LENGTH entries count)
list(LENGTH lines expected)
if(count EQUAL 0 OR NOT count EQUAL expected)
    message(FATAL_ERROR "stringtable.cmake: ${count} of ${expected} entries of ${SOURCE} understood")
endif()

set(rc "// Made at build time from engine/core/messages.cpp: do not edit.\n")
string(APPEND rc "#pragma code_page(65001)\nLANGUAGE 0, 0\nSTRINGTABLE\nBEGIN\n")
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^\n[ \t]*{([0-9]+), \"(.*)\"},$" "\\1" id "${entry}")
    string(REGEX REPLACE "^\n[ \t]*{([0-9]+), \"(.*)\"},$" "\\2" text "${entry}")
    # A quote inside a resource string is written twice.
    string(REPLACE "\\\"" "\"\"" text "${text}")
    string(REPLACE "${semicolon}" ";" text "${text}")
    string(APPEND rc "    ${id}, \"${text}\"\n")
endforeach()
string(APPEND rc "END\n")

# Rewritten only when it changes, so the resource is not rebuilt for
# nothing.
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL rc)
    file(WRITE "${OUTPUT}" "${rc}")
endif()
