# Warnings are errors in the project's own code, never in third-party code.
function(quillmarsh_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(QUILLMARSH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
