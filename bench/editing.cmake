# Indicator refresh, find and idle cost of the editor on the large corpus document.
if(NOT DEFINED ORVO_RTF_CORPUS)
    set(ORVO_RTF_CORPUS "${CMAKE_SOURCE_DIR}/../shared/rtf-corpus")
endif()
qt_add_executable(bench_editing bench_editing.cpp)
target_link_libraries(bench_editing PRIVATE orvo_ui)
target_compile_definitions(bench_editing PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")
