# The editor's layout on large and extreme documents.
orvo_add_test(tst_largedocument SOURCES tst_largedocument.cpp documentfixture.h scriptedservices.h TIMEOUT 900)
orvo_add_test(tst_tablelayout SOURCES tst_tablelayout.cpp documentfixture.h scriptedservices.h TIMEOUT 300)
orvo_add_test(tst_flowindex TIMEOUT 120)
# Documents look as their producer showed them.
orvo_add_test(tst_producerlook)
# Text measured as the producer measures it: widths, breaks and line heights.
orvo_add_test(tst_producermetrics SOURCES tst_producermetrics.cpp documentfixture.h scriptedservices.h)
