# Compiles the two language files of resources/language into the program as byte arrays.
# The output is regenerated whenever CMake runs; a change of either file re-runs CMake.
set(_plover_language_files
    ${CMAKE_SOURCE_DIR}/resources/language/zh-cn.dyy
    ${CMAKE_SOURCE_DIR}/resources/language/en-us.dyy)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_plover_language_files})

set(_plover_arrays "")
set(_plover_index 0)
foreach(_file ${_plover_language_files})
  file(READ ${_file} _hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(APPEND _plover_arrays "const unsigned char kLanguage${_plover_index}[] = {${_bytes}};\n")
  math(EXPR _plover_index "${_plover_index} + 1")
endforeach()

set(PLOVER_LANGUAGE_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/generated/language_resources.cpp)
file(CONFIGURE OUTPUT ${PLOVER_LANGUAGE_SOURCE} CONTENT [=[
// Generated from resources/language by app/embed_language.cmake.
#include "app/language_files.h"

namespace plover {
namespace {
@_plover_arrays@
}  // namespace

std::string_view BuiltInLanguageText(int index) {
  if (index == 0) return {reinterpret_cast<const char*>(kLanguage0), sizeof kLanguage0};
  return {reinterpret_cast<const char*>(kLanguage1), sizeof kLanguage1};
}

}  // namespace plover
]=] @ONLY)
