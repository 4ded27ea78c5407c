# Project code builds with warnings on; third-party code is compiled elsewhere.
function(vorn_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()
