# The editor's layout on large and extreme documents.
orvo_add_test(tst_largedocument SOURCES tst_largedocument.cpp documentfixture.h scriptedservices.h TIMEOUT 900)
orvo_add_test(tst_flowindex TIMEOUT 120)
# Edits that once broke the program or left the layout off.
orvo_add_test(tst_editinglayout SOURCES tst_editinglayout.cpp documentfixture.h scriptedservices.h layoutcheck.h TIMEOUT 300)
