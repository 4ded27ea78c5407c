# The same sources give the same executables wherever and whenever they are
# built: source and build folders leave no trace in __FILE__ (the log macros
# pass it), and the linker writes no time into the PE header. The build folder
# comes last because it may lie inside the source folder, and GCC takes the
# last map that matches.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
add_link_options(-Wl,--no-insert-timestamp)
