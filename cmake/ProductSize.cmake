# How the installer is kept small (Windows trees only). Its code and the C++
# libraries it links are compiled with a section per function and datum and
# with link-time optimisation data beside the machine code (fat objects). The
# installer is linked with LTO, which drops what it never calls: the linker's
# --gc-sections cannot, because ld keeps every function that a kept unwind
# table names. Every other program (the tests) links the machine code.
add_link_options(-fno-lto)

# Code that goes into VeltoInstaller.exe.
function(vorn_product_code target)
  target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections -flto -ffat-lto-objects)
endfunction()

# The installer itself. One partition: GCC 12 for mingw stops with an internal
# error in binds_to_current_def_p when the program is split into several. The
# sections per function name what the map shows of the optimised unit.
function(vorn_product_link target)
  target_link_options(${target} PRIVATE -flto -flto-partition=one -ffunction-sections -fdata-sections)
endfunction()
