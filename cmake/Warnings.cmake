# Warning flags for the project's own targets (not third-party code).
function(plove_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-missing-field-initializers)
endfunction()
