# The fidelity measure's library: bench_fidelity's, and the word pairing's test's,
# which is built with the tests even where the benchmarks are not.
if(NOT TARGET orvo_fidelity)
    add_library(orvo_fidelity STATIC
        ${CMAKE_CURRENT_LIST_DIR}/wordalign.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fidelitymeasure.cpp)
    orvo_folder_root(bench bench_root)
    target_include_directories(orvo_fidelity PUBLIC ${bench_root})
    target_link_libraries(orvo_fidelity PUBLIC orvo_shell)
    target_compile_options(orvo_fidelity PRIVATE -Wall -Wextra)
    if(NOT DEFINED ORVO_DOC_CORPUS)
        set(ORVO_DOC_CORPUS "${CMAKE_SOURCE_DIR}/../shared/doc-corpus")
    endif()
    target_compile_definitions(orvo_fidelity PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}"
        ORVO_DOC_CORPUS="${ORVO_DOC_CORPUS}")
endif()
