# The 5 MB corpus document opened as RTF, .docx and .odt, beside LibreOffice's conversion.
if(NOT DEFINED ORVO_RTF_CORPUS)
    set(ORVO_RTF_CORPUS "${CMAKE_SOURCE_DIR}/../shared/rtf-corpus")
endif()
qt_add_executable(bench_docload ${CMAKE_CURRENT_LIST_DIR}/bench_docload.cpp)
target_link_libraries(bench_docload PRIVATE orvo_app orvo_bench_headers Qt6::Test)
target_include_directories(bench_docload PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(bench_docload PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}"
    ORVO_BENCH_DOCS="${CMAKE_BINARY_DIR}/bench-docs")
