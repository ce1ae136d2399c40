# Indicator refresh, find and idle cost of the editor on the large corpus document.
if(NOT DEFINED ORVO_RTF_CORPUS)
    set(ORVO_RTF_CORPUS "${CMAKE_SOURCE_DIR}/../shared/rtf-corpus")
endif()
qt_add_executable(bench_editing bench_editing.cpp)
target_link_libraries(bench_editing PRIVATE orvo_app orvo_bench_headers)
target_compile_definitions(bench_editing PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")
# Layout of large and extreme documents in the main window, beside a stock QTextEdit.
qt_add_executable(bench_layout bench_layout.cpp layoutchild.h layoutchild.cpp)
target_link_libraries(bench_layout PRIVATE orvo_app orvo_bench_headers Qt6::Test)
target_include_directories(bench_layout PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(bench_layout PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")
# What a keystroke costs in a long section in newspaper columns.
qt_add_executable(bench_columns bench_columns.cpp)
target_link_libraries(bench_columns PRIVATE orvo_app orvo_bench_headers Qt6::Test)
target_compile_definitions(bench_columns PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")
