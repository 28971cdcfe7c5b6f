# Carries binary files in the program as data: writes a C++ source file that defines, in
# namespace k32, for each file
#   extern const unsigned char <name>[];      its bytes
#   extern const std::size_t <name>Size;      their count
#
# Run as a script:
#   cmake -DOUTPUT=<file.cpp> [-DHEADER=<header to include>] -DCOUNT=<n>
#         -DNAME_0=<identifier> -DINPUT_0=<file> ... -DNAME_<n-1>=... -DINPUT_<n-1>=...
#         -P embed.cmake
# or include() this file and call kestrama_embed_files(), which runs the script at build
# time whenever one of the files changes.

cmake_minimum_required(VERSION 3.22)

if(CMAKE_SCRIPT_MODE_FILE AND CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT OUTPUT)
    message(FATAL_ERROR "embed.cmake: OUTPUT is not set")
  endif()
  if(NOT COUNT MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "embed.cmake: COUNT must be a positive number, got '${COUNT}'")
  endif()

  set(sources "")
  set(body "")
  math(EXPR last "${COUNT} - 1")
  # Sixteen bytes a line keeps the generated file readable in a diff or a debugger.
  string(REPEAT "0x[0-9a-f][0-9a-f], " 16 line_pattern)
  foreach(i RANGE ${last})
    set(name "${NAME_${i}}")
    set(input "${INPUT_${i}}")
    if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "embed.cmake: NAME_${i} '${name}' is not a C++ identifier")
    endif()
    if(NOT input OR NOT EXISTS "${input}" OR IS_DIRECTORY "${input}")
      message(FATAL_ERROR "embed.cmake: INPUT_${i} '${input}' is not a file")
    endif()

    file(READ "${input}" hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    get_filename_component(file_name "${input}" NAME)
    string(APPEND sources " ${file_name}")

    if(size EQUAL 0)
      # C++ has no empty arrays: an empty file still gets one byte, and a size of 0.
      set(bytes "0x00")
    else()
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${hex}")
      string(REGEX REPLACE "(${line_pattern})" "\\1\n" bytes "${bytes}")
      string(REGEX REPLACE "[ \n]+$" "" bytes "${bytes}")
      string(REPLACE ", \n" ",\n    " bytes "${bytes}")
    endif()

    string(APPEND body
      "\n// ${file_name}, ${size} bytes\n"
      "extern const unsigned char ${name}[];\n"
      "extern const std::size_t ${name}Size;\n"
      "const unsigned char ${name}[] = {\n    ${bytes}\n};\n"
      "const std::size_t ${name}Size = ${size};\n")
  endforeach()

  set(includes "")
  if(HEADER)
    set(includes "#include \"${HEADER}\"\n\n")
  endif()
  file(WRITE "${OUTPUT}"
    "// Generated at build time by embed.cmake from${sources}; do not edit.\n\n"
    "${includes}#include <cstddef>\n\nnamespace k32 {\n${body}\n}  // namespace k32\n")
  return()
endif()

# kestrama_embed_files(OUTPUT_VAR <variable> OUTPUT <file.cpp> [HEADER <include path>]
#                      FILES <name> <file> [<name> <file> ...])
# Adds a build rule that writes OUTPUT from the files and sets <variable> to OUTPUT, for a
# target's sources. A relative OUTPUT is taken in the current build directory, a relative
# <file> in the current source directory.
function(kestrama_embed_files)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "" "OUTPUT_VAR;OUTPUT;HEADER" "FILES")
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kestrama_embed_files: unexpected arguments: ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_OUTPUT_VAR OR NOT ARG_OUTPUT)
    message(FATAL_ERROR "kestrama_embed_files: OUTPUT_VAR and OUTPUT are required")
  endif()
  list(LENGTH ARG_FILES length)
  math(EXPR odd "${length} % 2")
  if(length EQUAL 0 OR odd)
    message(FATAL_ERROR "kestrama_embed_files: FILES takes pairs of a name and a file")
  endif()

  get_filename_component(output "${ARG_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(definitions "")
  set(inputs "")
  set(names "")
  set(count 0)
  while(ARG_FILES)
    list(POP_FRONT ARG_FILES name input)
    if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "kestrama_embed_files: '${name}' is not a C++ identifier")
    endif()
    get_filename_component(input "${input}" ABSOLUTE)
    list(APPEND definitions "-DNAME_${count}=${name}" "-DINPUT_${count}=${input}")
    list(APPEND inputs "${input}")
    list(APPEND names "${name}")
    math(EXPR count "${count} + 1")
  endwhile()

  list(JOIN names ", " names)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DOUTPUT=${output}" "-DHEADER=${ARG_HEADER}" "-DCOUNT=${count}"
            ${definitions} -P "${CMAKE_CURRENT_FUNCTION_LIST_FILE}"
    DEPENDS ${inputs} "${CMAKE_CURRENT_FUNCTION_LIST_FILE}"
    COMMENT "Embedding ${names}"
    VERBATIM)
  set(${ARG_OUTPUT_VAR} "${output}" PARENT_SCOPE)
endfunction()
