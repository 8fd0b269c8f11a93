# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file names its licence in its first line (a script's after
# its #! line), so that a new file cannot forget it:
#   cmake -DSOURCE_DIR=DIR -P tests/licence_lines.cmake
set(line "SPDX-License-Identifier: GPL-3.0-or-later")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.inl
  ${SOURCE_DIR}/CMakeLists.txt ${SOURCE_DIR}/*.cmake)
file(GLOB scripts LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/scripts/*
  ${SOURCE_DIR}/.ci/*)
list(FILTER scripts EXCLUDE REGEX "[.]md$")
list(APPEND files ${scripts})
# Build trees (their layers link to the sources) and Git's own files are not sources.
list(FILTER files EXCLUDE REGEX "^(build[^/]*|[.][^/]*)/")
list(LENGTH files count)
if(count LESS 10)
  message(FATAL_ERROR "only ${count} source files under ${SOURCE_DIR}: the wrong folder?")
endif()
set(missing)
foreach(f ${files})
  file(READ ${SOURCE_DIR}/${f} head LIMIT 400)
  if(NOT head MATCHES "^(#![^\n]*\n)?(//|#) ${line}\n")
    list(APPEND missing ${f})
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " shown)
  message(FATAL_ERROR "without '${line}' in their first line:\n  ${shown}")
endif()
message(STATUS "${count} source files, each under GPL-3.0-or-later")
