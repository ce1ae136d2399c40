# How bench_fidelity pairs the words of two renderings.
include(${CMAKE_SOURCE_DIR}/bench/fidelity/library.cmake)
orvo_add_test(tst_wordalign LINKS orvo_fidelity TIMEOUT 60)
