# zlib, libjpeg and GoogleTest, as installed by scripts/install-deps.sh.

if(WIN32)
  # Static archives only: the executables must run without DLLs beside them.
  find_library(SETUP_ZLIB_ARCHIVE NAMES libz.a REQUIRED)
  find_path(SETUP_ZLIB_INCLUDE zlib.h REQUIRED)
  add_library(setup_zlib INTERFACE)
  target_link_libraries(setup_zlib INTERFACE ${SETUP_ZLIB_ARCHIVE})
  target_include_directories(setup_zlib INTERFACE ${SETUP_ZLIB_INCLUDE})

  # libjpeg is cross-built from Debian's source package by scripts/build-libjpeg.sh,
  # which returns at once when the library is there with its settings.
  set(SETUP_JPEG_PREFIX ${PROJECT_SOURCE_DIR}/build/deps/${SETUP_TRIPLET})
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-libjpeg.sh ${SETUP_TRIPLET} ${SETUP_JPEG_PREFIX}
    RESULT_VARIABLE jpeg_result)
  if(NOT jpeg_result EQUAL 0)
    message(FATAL_ERROR "building libjpeg for ${SETUP_TRIPLET} failed")
  endif()
  add_library(setup_jpeg INTERFACE)
  target_link_libraries(setup_jpeg INTERFACE ${SETUP_JPEG_PREFIX}/lib/libjpeg.a)
  target_include_directories(setup_jpeg INTERFACE ${SETUP_JPEG_PREFIX}/include)

  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh
      CACHE FILEPATH "Runs Windows test programs under Wine" FORCE)
else()
  find_package(ZLIB REQUIRED)
  add_library(setup_zlib INTERFACE)
  target_link_libraries(setup_zlib INTERFACE ZLIB::ZLIB)
  find_package(JPEG REQUIRED)
  add_library(setup_jpeg INTERFACE)
  target_link_libraries(setup_jpeg INTERFACE JPEG::JPEG)
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
