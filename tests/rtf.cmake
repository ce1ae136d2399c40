# Tests of the RTF reader.
orvo_add_test(tst_rtfreader SOURCES tst_rtfreader.cpp LINKS orvo_rtf orvo_model)
orvo_add_test(tst_rtftables SOURCES tst_rtftables.cpp LINKS orvo_platform orvo_model)
orvo_add_test(tst_rtfcorpus SOURCES tst_rtfcorpus.cpp corpusstructure.h LINKS orvo_platform orvo_model TIMEOUT 120)
orvo_add_test(tst_rtfpictures SOURCES tst_rtfpictures.cpp littleendian.h LINKS orvo_rtf orvo_model)
orvo_add_test(tst_rtfhostile SOURCES tst_rtfhostile.cpp LINKS orvo_rtf orvo_model)
orvo_add_test(tst_rtfmetafile SOURCES tst_rtfmetafile.cpp littleendian.h LINKS orvo_rtf orvo_model)
orvo_add_test(tst_rtfcolumns SOURCES tst_rtfcolumns.cpp LINKS orvo_platform)
orvo_add_test(tst_rtflists SOURCES tst_rtflists.cpp LINKS orvo_rtf orvo_model)
