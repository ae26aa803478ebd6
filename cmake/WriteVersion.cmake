# cmake -DSOURCE_DIR=... -DOUTPUT=... -DFALLBACK=1.0 -P WriteVersion.cmake
# The one version of every program: the VERSION file when there is one (a
# source tarball carries it), else `git describe --tags --always --dirty`.
# The header is rewritten only when the version changed, so that an unchanged
# version rebuilds nothing.
set(text "")
if(EXISTS ${SOURCE_DIR}/VERSION)
  file(STRINGS ${SOURCE_DIR}/VERSION lines LIMIT_COUNT 1)
  string(STRIP "${lines}" text)
else()
  find_program(GIT git)
  if(GIT)
    execute_process(COMMAND ${GIT} describe --tags --always --dirty
      WORKING_DIRECTORY ${SOURCE_DIR} OUTPUT_VARIABLE text OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0)
      set(text "")
    endif()
  endif()
endif()
if(text STREQUAL "")
  set(text "unknown")
endif()
string(REGEX REPLACE "[\"\\\\]" "" text "${text}")

# The numeric form of the version resource: a tag such as v1.2 or 1.2.3,
# with the commits since it as the fourth number; without a tag the project's
# version (FALLBACK, e.g. 1.0).
string(REPLACE "." "," numbers "${FALLBACK}")
string(REGEX MATCHALL "," commas "${numbers}")
list(LENGTH commas count)
while(count LESS 3)
  string(APPEND numbers ",0")
  math(EXPR count "${count} + 1")
endwhile()
if(text MATCHES "^v?([0-9]+)\\.([0-9]+)(\\.([0-9]+))?(-([0-9]+)-g)?")
  set(patch "${CMAKE_MATCH_4}")
  set(commits "${CMAKE_MATCH_6}")
  if(patch STREQUAL "")
    set(patch 0)
  endif()
  if(commits STREQUAL "")
    set(commits 0)
  endif()
  set(numbers "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${patch},${commits}")
endif()

set(content "// Written by cmake/WriteVersion.cmake at build time.\n#pragma once\n#define SETUP_VERSION_TEXT \"${text}\"\n#define SETUP_VERSION_NUMBERS ${numbers}\n")
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
