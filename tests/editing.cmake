# Formatting, style indicators, clipboard and find, through the main window's clicks.
orvo_add_test(tst_formatting SOURCES tst_formatting.cpp editingfixture.h scriptedservices.h TIMEOUT 120)
orvo_add_test(tst_indicators SOURCES tst_indicators.cpp editingfixture.h scriptedservices.h TIMEOUT 120)
orvo_add_test(tst_clipboardfind SOURCES tst_clipboardfind.cpp editingfixture.h scriptedservices.h TIMEOUT 120)
orvo_add_test(tst_tableediting SOURCES tst_tableediting.cpp documentfixture.h scriptedservices.h TIMEOUT 120)
