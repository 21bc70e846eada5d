# The result grid's speed: painting, Select All + Copy, Save, Page Down.
add_executable(grid_bench ${CMAKE_CURRENT_LIST_DIR}/grid_bench.cpp)
target_link_libraries(grid_bench PRIVATE vintrel_core)
target_compile_options(grid_bench PRIVATE ${VINTREL_WARNINGS})
target_link_options(grid_bench PRIVATE -mconsole)
vintrel_link_resources(grid_bench)
