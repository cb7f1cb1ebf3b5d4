# Size of the installer executable (Windows trees). Every byte of the stub
# travels with every installer, so the Windows trees optimise for size,
# except where speed matters (bench/README.md has the figures): liblzma
# keeps its release optimisation (ThirdParty.cmake), and so do the payload
# libraries, whose sums and member copy run over every payload byte (at -Os
# the archive sum runs at a quarter of the speed).
#
# Set as plain variables (not cache entries), so that build trees configured
# before this file existed pick the flags up on their next configure too.
if(NOT WIN32)
  return()
endif()

set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
function(plove_payload_at_full_speed)
  foreach(target plove_payload plove_payload_win)
    if(TARGET ${target})
      target_compile_options(${target} PRIVATE -O3)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL plove_payload_at_full_speed)

# One section per function and object, so the linker can drop what the
# program never calls.
add_compile_options(-ffunction-sections -fdata-sections)

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
