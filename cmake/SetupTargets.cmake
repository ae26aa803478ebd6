# Target helpers shared by every subsystem's CMakeLists.txt.
#
# A folder's sources are globbed: files named *_win.cpp are built only for
# Windows, *_posix.cpp only elsewhere, everything else everywhere.

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SETUP_DIST_NAME win64)
  else()
    set(SETUP_DIST_NAME win32)
  endif()
else()
  set(SETUP_DIST_NAME linux)
endif()
set(SETUP_DIST_DIR ${PROJECT_SOURCE_DIR}/dist/${SETUP_DIST_NAME})

add_library(setup_options INTERFACE)
target_include_directories(setup_options INTERFACE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(setup_options INTERFACE -Wall -Wextra)
if(WIN32)
  # Plain 8-bit (ANSI) Win32 calls unless a file asks for the W form explicitly.
  target_compile_definitions(setup_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(setup_options INTERFACE -static -static-libgcc -static-libstdc++)
  # Small executables: an installer is judged by its download size. GNU ld
  # keeps every function that has unwind data, so --gc-sections alone removes
  # little: link-time optimisation leaves out what the program never calls.
  # The objects carry both forms; only targets with the property SETUP_LTO
  # (the installer) link the optimised form, the tests link the plain code
  # quickly. One partition: GCC 12 stops with an internal error in the
  # partitioned form (binds_to_current_def_p). Function-local statics are initialised without locks: those of
  # this code base belong to the thread that runs the windows and the script,
  # and the locks would bring the POSIX thread layer's condition variables.
  target_compile_options(setup_options INTERFACE
    $<$<CONFIG:MinSizeRel>:-ffunction-sections -fdata-sections -flto -ffat-lto-objects -fno-threadsafe-statics>)
  target_link_options(setup_options INTERFACE
    $<$<CONFIG:MinSizeRel>:-s -Wl,--gc-sections $<IF:$<BOOL:$<TARGET_PROPERTY:SETUP_LTO>>,-flto -flto-partition=one,-fno-lto>>)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    # The 32-bit image is closest to its budget (make check-dist); -Oz trades
    # a little speed of our own code for size (zlib keeps -Os).
    target_compile_options(setup_options INTERFACE $<$<CONFIG:MinSizeRel>:-Oz>)
    target_link_options(setup_options INTERFACE $<$<CONFIG:MinSizeRel>:-Oz>)
  endif()
elseif(SETUP_SANITIZE)
  target_compile_options(setup_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(setup_options INTERFACE -fsanitize=address,undefined)
elseif(SETUP_SANITIZE_THREAD)
  target_compile_options(setup_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(setup_options INTERFACE -fsanitize=thread)
endif()

function(setup_glob_sources out dir pattern)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/${pattern})
  set(kept)
  foreach(f IN LISTS all)
    if(f MATCHES "_win(_test)?\\.cpp$" AND NOT WIN32)
      continue()
    endif()
    if(f MATCHES "_posix(_test)?\\.cpp$" AND WIN32)
      continue()
    endif()
    list(APPEND kept ${f})
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# setup_add_library(NAME [DEPS lib...] [EXCLUDE regex]): a static library of the
# current folder's sources.
function(setup_add_library name)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DEPS" ${ARGN})
  if(NOT ARG_EXCLUDE)
    set(ARG_EXCLUDE "^$")
  endif()
  setup_glob_sources(sources ${CMAKE_CURRENT_SOURCE_DIR} "*.cpp")
  list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC setup_options ${ARG_DEPS})
  else()
    # A subsystem with nothing built for this target yet.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE setup_options ${ARG_DEPS})
  endif()
endfunction()

# Under Wine every test program shares one Windows: its desktop, the single
# setup that may run at a time, C:\Setup.log and the registry. Two of them side
# by side see each other's setups and windows, so each test of the calling
# directory runs alone, whatever parallel level ctest is given. Called once per
# directory; it takes effect when the directory's CMakeLists.txt ends, so that
# tests added after the call are included.
function(setup_run_windows_tests_alone)
  get_property(scheduled DIRECTORY PROPERTY SETUP_TESTS_RUN_ALONE)
  if(WIN32 AND NOT scheduled)
    set_property(DIRECTORY PROPERTY SETUP_TESTS_RUN_ALONE TRUE)
    cmake_language(DEFER CALL setup_mark_directory_tests_serial)
  endif()
endfunction()

function(setup_mark_directory_tests_serial)
  get_property(tests DIRECTORY PROPERTY TESTS)
  if(tests)
    set_tests_properties(${tests} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# setup_add_test(NAME [DEPS lib...] [SOURCES f...]): one GoogleTest executable from the
# current folder's *_test.cpp files (or the SOURCES given), registered as one test.
# Under MinGW the test runs through the cross-compiling emulator (Wine).
function(setup_add_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    setup_glob_sources(sources ${CMAKE_CURRENT_SOURCE_DIR} "*_test.cpp")
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE setup_test_support ${ARG_DEPS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "SETUP_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  setup_run_windows_tests_alone()
endfunction()

# Copies a built executable into dist/<target>/.
function(setup_dist target)
  # dist/linux holds release tools; the sanitized test build keeps its own copies.
  if(SETUP_SANITIZE OR SETUP_SANITIZE_THREAD)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SETUP_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${SETUP_DIST_DIR}/
    VERBATIM)
endfunction()
