# Tests of the RTF reader.
orvo_add_test(tst_rtfreader SOURCES tst_rtfreader.cpp)
orvo_add_test(tst_rtfcorpus SOURCES tst_rtfcorpus.cpp TIMEOUT 120)
orvo_add_test(tst_rtfpictures SOURCES tst_rtfpictures.cpp)
orvo_add_test(tst_rtfmetafile SOURCES tst_rtfmetafile.cpp)
