# Size of the installer executable (Windows trees). Every byte of the stub
# travels with every installer, so the Windows trees optimise for size,
# except where speed matters (bench/README.md has the figures): liblzma
# keeps its release optimisation (ThirdParty.cmake), and so does the file
# that holds the payload's sums, which run over every payload byte (at -Os
# the archive sum runs at a quarter of the speed). The rest of the payload
# code is built for size like everything else: its loops call the decoder,
# Windows or memcpy, and its member copy is no slower at -Os.
#
# Set as plain variables (not cache entries), so that build trees configured
# before this file existed pick the flags up on their next configure too.
if(NOT WIN32)
  return()
endif()

set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
function(plove_sums_at_full_speed)
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/payload/archive_format.cpp
    DIRECTORY ${PROJECT_SOURCE_DIR}/src/payload PROPERTIES COMPILE_OPTIONS -O3)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL plove_sums_at_full_speed)

# How the installer's own libraries are compiled, on top of -Os:
#
# - Link-time optimisation. They are compiled with their intermediate code
#   beside the machine code (fat objects), and the installer's link
#   optimises them as one program. That drops every function the installer
#   does not reach, together with its unwind data, which binutils 2.40's
#   --gc-sections cannot do (bench/README.md). The other programs (tests,
#   the packer) link the same libraries' machine code as before (-fno-lto
#   below) and pay nothing at link time. Each function keeps the optimisation level it was
#   compiled with. One partition: GCC 12 for mingw-w64 fails in its alias
#   pass when the program is split.
# - std::string's members instantiated where they are used, instead of
#   linking libstdc++'s explicit instantiations (string-inst.o), whose
#   unwind data keeps all 18 KB of them (stub-implicit-string.h). For every
#   C++ file of the tree (below), tests included: ld fails on a library
#   member that defines these members when a test's own files refer to the
#   library's copies instead.
# - No C++ exceptions above the payload layer. The only handlers of the
#   program are the payload code's out-of-memory ones; what they run (the
#   payload, util and state libraries) keeps exceptions. The engine and the
#   uninstaller's image code run above them. Elsewhere an
#   exception never had a handler, so running out of memory ends the
#   process as it did (std::terminate), without the landing pads and
#   exception tables that every function with a destructor carried for it.
#   A try block in these libraries does not compile.
set(PLOVE_STUB_NO_EXCEPTIONS
  setup_stub plove_app_launch plove_app_windows plove_app_rules plove_wizard_win plove_wizard_rules
  plove_uninstaller plove_uninstall_engine plove_container_win plove_container_rules plove_restart
  plove_restart_rules plove_relay plove_ui plove_ui_rules plove_script plove_script_win
  plove_engine_rules plove_engine_placement plove_engine_worker plove_uninstaller_recipe
  plove_rollback plove_rollback_win plove_rollback_undo)
function(plove_stub_compile_settings)
  if(NOT TARGET setup_stub)
    return()
  endif()
  set(pending setup_stub)
  set(seen "")
  while(pending)
    list(POP_FRONT pending target)
    if(target IN_LIST seen OR NOT TARGET ${target})
      continue()
    endif()
    list(APPEND seen ${target})
    get_target_property(type ${target} TYPE)
    get_target_property(imported ${target} IMPORTED)
    if(imported)
      continue()
    endif()
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:-flto;-ffat-lto-objects>")
      if(target IN_LIST PLOVE_STUB_NO_EXCEPTIONS)
        target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions;-Oz>")
      endif()
      get_target_property(links ${target} LINK_LIBRARIES)
      if(links)
        list(APPEND pending ${links})
      endif()
    endif()
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    if(interface)
      string(REGEX REPLACE "\\$<LINK_ONLY:([^>]*)>" "\\1" interface "${interface}")
      list(APPEND pending ${interface})
    endif()
  endwhile()
  target_link_options(setup_stub PRIVATE -flto=auto -flto-partition=one)

  # liblzma's LZMA1 decoder and x86 branch filter alone, from the same
  # sources and with the same optimisation as the library (ThirdParty.cmake):
  # the library's raw decoder reaches every filter it knows (LZMA2, delta,
  # the other executable filters), and the payload uses only these two. Its
  # objects come first on the installer's link line, so no member of the
  # full library is linked.
  set(lzma ${_xz_src}/src/liblzma)
  add_library(plove_lzma1_decoder OBJECT
    ${lzma}/common/common.c ${lzma}/common/filter_common.c ${lzma}/common/filter_decoder.c
    ${lzma}/lz/lz_decoder.c ${lzma}/lzma/lzma_decoder.c
    ${lzma}/simple/simple_coder.c ${lzma}/simple/simple_decoder.c ${lzma}/simple/x86.c)
  target_include_directories(plove_lzma1_decoder PRIVATE
    ${lzma}/api ${lzma}/common ${lzma}/check ${lzma}/lz ${lzma}/rangecoder ${lzma}/lzma ${lzma}/simple
    ${lzma}/delta ${_xz_src}/src/common)
  target_compile_definitions(plove_lzma1_decoder PRIVATE
    HAVE_STDBOOL_H HAVE__BOOL HAVE_STDINT_H HAVE_INTTYPES_H HAVE_DECODERS HAVE_DECODER_LZMA1 HAVE_DECODER_X86 LZMA_API_STATIC
    TUKLIB_SYMBOL_PREFIX=lzma_)
  target_compile_options(plove_lzma1_decoder PRIVATE -O3 -w -flto -ffat-lto-objects)
  target_link_libraries(setup_stub PRIVATE plove_lzma1_decoder)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL plove_stub_compile_settings)

# GCC's linker plugin optimises fat objects at link time unless told not to:
# only the installer's link does (above). A -fno-lto anywhere on a link line
# turns the plugin off, so the installer's line must not carry it.
add_link_options("$<$<NOT:$<STREQUAL:$<TARGET_PROPERTY:NAME>,setup_stub>>:-fno-lto>")

# One section per function and object, so the linker can drop what the
# program never calls.
add_compile_options(-ffunction-sections -fdata-sections
                    "$<$<COMPILE_LANGUAGE:CXX>:-include;${PROJECT_SOURCE_DIR}/cmake/stub-implicit-string.h>")

# Link options for the installer executable:
# - drop unreferenced sections (binutils 2.40 keeps every linked function
#   that has unwind data, .pdata on x86_64 and .eh_frame on i686, so this
#   drops less than it could: bench/README.md);
# - no verbose terminate handler: libstdc++'s default one prints the
#   demangled type of an uncaught exception (45 KB of demangler) to a
#   console that a GUI program does not have;
# - the library's std::__throw_* helpers end the process at once instead of
#   building an exception object first (they pull in std::string's and the
#   standard exceptions' code, some 40 KB). They serve at(), std::function
#   and sizes beyond max_size(); the installer catches none of those
#   exceptions, so they ended it through std::terminate before too. Running
#   out of memory is unaffected: operator new throws std::bad_alloc itself,
#   and code that catches it still does.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_plove_prefix "")
else()
  set(_plove_prefix "_")
endif()
set(PLOVE_STUB_LINK_OPTIONS -Wl,--gc-sections)
foreach(_plove_symbol
    _ZN9__gnu_cxx27__verbose_terminate_handlerEv
    _ZSt16__throw_bad_castv _ZSt17__throw_bad_allocv _ZSt18__throw_bad_typeidv
    _ZSt19__throw_logic_errorPKc _ZSt19__throw_range_errorPKc _ZSt20__throw_domain_errorPKc
    _ZSt20__throw_length_errorPKc _ZSt20__throw_out_of_rangePKc _ZSt21__throw_bad_exceptionv
    _ZSt21__throw_runtime_errorPKc _ZSt22__throw_overflow_errorPKc _ZSt23__throw_underflow_errorPKc
    _ZSt24__throw_invalid_argumentPKc _ZSt24__throw_out_of_range_fmtPKcz _ZSt28__throw_bad_array_new_lengthv
    _ZSt25__throw_bad_function_callv)
  list(APPEND PLOVE_STUB_LINK_OPTIONS "-Wl,--defsym=${_plove_prefix}${_plove_symbol}=${_plove_prefix}abort")
endforeach()
unset(_plove_prefix)
unset(_plove_symbol)
