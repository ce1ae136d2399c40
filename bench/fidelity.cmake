# How closely the editor shows the corpus documents as LibreOffice lays them out.
add_library(orvo_fidelity STATIC
    ${CMAKE_CURRENT_LIST_DIR}/fidelity/wordalign.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fidelity/fidelitymeasure.cpp)
target_include_directories(orvo_fidelity PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(orvo_fidelity PUBLIC orvo_ui)
target_compile_options(orvo_fidelity PRIVATE -Wall -Wextra)
target_compile_definitions(orvo_fidelity PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")
qt_add_executable(bench_fidelity ${CMAKE_CURRENT_LIST_DIR}/bench_fidelity.cpp)
target_link_libraries(bench_fidelity PRIVATE orvo_fidelity)
target_compile_definitions(bench_fidelity PRIVATE ORVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
