# How bench_fidelity pairs the words of two renderings (built with the benchmarks).
if(ORVO_BENCH)
    orvo_add_test(tst_wordalign TIMEOUT 60)
    target_link_libraries(tst_wordalign PRIVATE orvo_fidelity)
endif()
