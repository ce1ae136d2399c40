# How closely the editor shows the corpus documents as LibreOffice lays them out.
include(${CMAKE_CURRENT_LIST_DIR}/fidelity/library.cmake)
qt_add_executable(bench_fidelity ${CMAKE_CURRENT_LIST_DIR}/bench_fidelity.cpp)
target_link_libraries(bench_fidelity PRIVATE orvo_fidelity orvo_bench_headers)
target_compile_definitions(bench_fidelity PRIVATE ORVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
