# Writes a C++ source that holds every file below a folder as bytes, for the web UI that the
# program serves itself (src/service/ui_files.h). A missing folder gives an empty table, so that a
# build without the UI still links and serves its "UI not built" page.
#
# Run as: cmake -DFOLDER=<ui/dist> -DOUTPUT=<file.cc> -P cmake/EmbedFiles.cmake

cmake_minimum_required(VERSION 3.25)

set(files "")
if(EXISTS "${FOLDER}")
  file(GLOB_RECURSE files RELATIVE "${FOLDER}" "${FOLDER}/*")
  list(SORT files)
endif()

set(body "")
set(table "")
set(index 0)
foreach(name IN LISTS files)
  file(READ "${FOLDER}/${name}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND body "constexpr char kFile${index}[] = {${bytes} 0};\n")
  string(APPEND table "    UiFile{\"/${name}\", std::string_view(kFile${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()

set(text "// Made by cmake/EmbedFiles.cmake from ${FOLDER}; do not edit.\n")
string(APPEND text "#include <span>\n#include \"service/ui_files.h\"\n\nnamespace tw::service {\nnamespace {\n")
string(APPEND text "${body}")
if(index EQUAL 0)
  string(APPEND text "constexpr UiFile kFiles[1] = {UiFile{}};\nconstexpr size_t kCount = 0;\n")
else()
  string(APPEND text "constexpr UiFile kFiles[] = {\n${table}};\nconstexpr size_t kCount = ${index};\n")
endif()
string(APPEND text "}  // namespace\n\nstd::span<const UiFile> EmbeddedUiFiles() { return {kFiles, kCount}; }\n\n}  // namespace tw::service\n")

# Rewritten only when it changes, so that an unchanged bundle recompiles nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
