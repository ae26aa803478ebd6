# zlib, liblzma, libdeflate and GoogleTest, as installed by scripts/install-deps.sh.

# The 32-bit image is close to its size budget and keeps zlib's inflate for
# the payload's pieces too; the thread-sanitized build uses it as well, so
# that both forms of the piece decompressor run in the tests.
if(SETUP_TRIPLET STREQUAL "i686-w64-mingw32" OR SETUP_SANITIZE_THREAD)
  set(fast_inflate_default OFF)
else()
  set(fast_inflate_default ON)
endif()
option(SETUP_FAST_INFLATE "Inflate the payload's pieces with libdeflate's decompressor" ${fast_inflate_default})

# Runs one of the scripts/build-*.sh that cross-build a library from Debian's
# source package into build/deps/<triplet>; with a kind (setup_cross_build(script
# full)) into build/deps/<triplet>-<kind>, the kind passed on to the script.
function(setup_cross_build script)
  set(prefix ${PROJECT_SOURCE_DIR}/build/deps/${SETUP_TRIPLET})
  if(ARGC GREATER 1)
    set(prefix ${prefix}-${ARGV1})
  endif()
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/${script} ${SETUP_TRIPLET} ${prefix} ${ARGN}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "scripts/${script} for ${SETUP_TRIPLET} failed")
  endif()
  # An edited script (other flags) reconfigures, which rebuilds the library.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/scripts/${script} ${PROJECT_SOURCE_DIR}/scripts/c-library-build.sh)
endfunction()

if(WIN32)
  # Static archives only: the executables must run without DLLs beside them.
  # zlib is cross-built for size from Debian's source package by
  # scripts/build-zlib.sh, which returns at once when the library is there
  # with its settings.
  set(SETUP_DEPS_PREFIX ${PROJECT_SOURCE_DIR}/build/deps/${SETUP_TRIPLET})
  setup_cross_build(build-zlib.sh)
  add_library(setup_zlib INTERFACE)
  target_link_libraries(setup_zlib INTERFACE ${SETUP_DEPS_PREFIX}/lib/libz.a)
  target_include_directories(setup_zlib INTERFACE ${SETUP_DEPS_PREFIX}/include)

  # liblzma twice: the installer's decoder built for size, and the full
  # library with the encoders for everything else (scripts/build-liblzma.sh).
  # An executable with the property SETUP_LZMA_DECODER_ONLY links the first.
  setup_cross_build(build-liblzma.sh)
  setup_cross_build(build-liblzma.sh full)
  add_library(setup_lzma INTERFACE)
  target_link_libraries(setup_lzma INTERFACE
    $<IF:$<BOOL:$<TARGET_PROPERTY:SETUP_LZMA_DECODER_ONLY>>,${SETUP_DEPS_PREFIX}/lib/liblzma.a,${SETUP_DEPS_PREFIX}-full/lib/liblzma.a>)
  target_include_directories(setup_lzma INTERFACE ${SETUP_DEPS_PREFIX}/include)
  target_compile_definitions(setup_lzma INTERFACE LZMA_API_STATIC)

  # libdeflate twice: the whole library, built for speed, writes the packer's
  # zlib streams (setup_deflate); the installer's piece decompressor
  # (src/container/piece_inflater.h) is its decompressor alone, built for
  # size, unless the image has no room for it (setup_fast_inflate).
  setup_cross_build(build-libdeflate.sh)
  add_library(setup_deflate INTERFACE)
  target_link_libraries(setup_deflate INTERFACE ${SETUP_DEPS_PREFIX}/lib/libdeflate.a)
  target_include_directories(setup_deflate INTERFACE ${SETUP_DEPS_PREFIX}/include)
  if(SETUP_FAST_INFLATE)
    setup_cross_build(build-libdeflate.sh decoder)
    add_library(setup_fast_inflate INTERFACE)
    target_link_libraries(setup_fast_inflate INTERFACE ${SETUP_DEPS_PREFIX}-decoder/lib/libdeflate.a)
    target_include_directories(setup_fast_inflate INTERFACE ${SETUP_DEPS_PREFIX}-decoder/include)
  endif()

  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh
      CACHE FILEPATH "Runs Windows test programs under Wine" FORCE)
else()
  find_package(ZLIB REQUIRED)
  add_library(setup_zlib INTERFACE)
  target_link_libraries(setup_zlib INTERFACE ZLIB::ZLIB)
  find_package(LibLZMA REQUIRED)
  add_library(setup_lzma INTERFACE)
  target_link_libraries(setup_lzma INTERFACE LibLZMA::LibLZMA)
  # Debian's libdeflate, for the packer and the piece decompressor alike.
  find_library(SETUP_DEFLATE_LIBRARY NAMES deflate REQUIRED)
  find_path(SETUP_DEFLATE_INCLUDE libdeflate.h REQUIRED)
  add_library(setup_deflate INTERFACE)
  target_link_libraries(setup_deflate INTERFACE ${SETUP_DEFLATE_LIBRARY})
  target_include_directories(setup_deflate INTERFACE ${SETUP_DEFLATE_INCLUDE})
  if(SETUP_FAST_INFLATE)
    add_library(setup_fast_inflate ALIAS setup_deflate)
  endif()
endif()

# GoogleTest from Debian's source package, built for each target.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
