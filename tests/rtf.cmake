# Tests of the RTF reader.
orvo_add_test(tst_rtfreader SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rtfreader.cpp)
orvo_add_test(tst_rtfcorpus SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rtfcorpus.cpp TIMEOUT 120)
