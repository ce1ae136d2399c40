# Load-time benchmark of the RTF reader (build in Release for figures worth quoting).
set(ORVO_RTF_CORPUS "${CMAKE_SOURCE_DIR}/../shared/rtf-corpus" CACHE PATH "The RTF corpus with expected texts")
qt_add_executable(bench_rtfload ${CMAKE_CURRENT_LIST_DIR}/bench_rtfload.cpp)
target_link_libraries(bench_rtfload PRIVATE orvo_app orvo_bench_headers)
target_compile_definitions(bench_rtfload PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")

# Hostile RTF: time and peak memory of the adversarial inputs, beside stock Qt.
qt_add_executable(bench_hostile ${CMAKE_CURRENT_LIST_DIR}/bench_hostile.cpp)
target_link_libraries(bench_hostile PRIVATE orvo_rtf orvo_layout orvo_bench_headers)
# What playing the corpus' metafile drawings costs, beside decoding them as PNGs.
qt_add_executable(bench_rtfpictures ${CMAKE_CURRENT_LIST_DIR}/bench_rtfpictures.cpp)
target_link_libraries(bench_rtfpictures PRIVATE orvo_model orvo_rtf orvo_bench_headers)
target_compile_definitions(bench_rtfpictures PRIVATE ORVO_RTF_CORPUS="${ORVO_RTF_CORPUS}")
