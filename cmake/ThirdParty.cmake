# GoogleTest from the Debian source package, and liblzma: the host's
# liblzma-dev, or Debian's xz-utils source compiled for the Windows target.

if(PLOVE_BUILD_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  if(WIN32)
    # The win32 thread model has no std::mutex; see the header in this folder.
    include_directories(BEFORE ${CMAKE_CURRENT_LIST_DIR}/gtest-mingw)
  endif()
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

if(NOT WIN32)
  find_package(LibLZMA REQUIRED)
  add_library(plove_lzma INTERFACE)
  target_link_libraries(plove_lzma INTERFACE LibLZMA::LibLZMA)
else()
  set(_xz_path_file ${PROJECT_SOURCE_DIR}/build/deps-src/xz-utils.path)
  if(NOT EXISTS ${_xz_path_file})
    message(FATAL_ERROR "xz-utils source missing: run scripts/setup.sh first")
  endif()
  file(READ ${_xz_path_file} _xz_src)
  string(STRIP "${_xz_src}" _xz_src)
  # Built once per build tree; a rebuild finds the installed library and
  # does not repeat the step.
  set(_xz_prefix ${CMAKE_BINARY_DIR}/deps/liblzma)
  include(ExternalProject)
  ExternalProject_Add(xz_utils
    SOURCE_DIR ${_xz_src}
    BINARY_DIR ${CMAKE_BINARY_DIR}/deps/liblzma-build
    INSTALL_DIR ${_xz_prefix}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
      -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
      -DBUILD_SHARED_LIBS=OFF
      # The decoder's speed matters: the release optimisation stays; one
      # section per function lets the stub's link drop the encoder.
      "-DCMAKE_C_FLAGS=-w -ffunction-sections -fdata-sections"
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target liblzma
    INSTALL_COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR> --component liblzma_Development
            COMMAND ${CMAKE_COMMAND} --install <BINARY_DIR> --component liblzma_Runtime
    BUILD_BYPRODUCTS ${_xz_prefix}/lib/liblzma.a
    UPDATE_COMMAND "" PATCH_COMMAND "")
  file(MAKE_DIRECTORY ${_xz_prefix}/include)
  add_library(plove_lzma_imported STATIC IMPORTED GLOBAL)
  set_target_properties(plove_lzma_imported PROPERTIES
    IMPORTED_LOCATION ${_xz_prefix}/lib/liblzma.a
    INTERFACE_INCLUDE_DIRECTORIES ${_xz_prefix}/include
    INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
  add_dependencies(plove_lzma_imported xz_utils)
  add_library(plove_lzma INTERFACE)
  target_link_libraries(plove_lzma INTERFACE plove_lzma_imported)
endif()
