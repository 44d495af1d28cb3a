# Warnings are errors when MV_WERROR is on (always in CI).
option(MV_WERROR "Treat compiler warnings as errors" ON)

function(mv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wformat=2
                         -Wno-missing-field-initializers)
  if(MV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The shipped Windows programs: no exceptions, no RTTI, nothing but the
# system DLLs and the C runtime at run time.
# They are built for size and stripped: every byte travels in the setup.
function(mv_windows_program target)
  mv_warnings(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
                      -s -Wl,--gc-sections)
endfunction()
