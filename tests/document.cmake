# Document lifecycle: modified flag and title, save, open, new document and quit.
orvo_add_test(tst_savedocument SOURCES tst_savedocument.cpp documentfixture.h scriptedservices.h)
orvo_add_test(tst_saveidentity SOURCES tst_saveidentity.cpp documentfixture.h scriptedservices.h)
orvo_add_test(tst_opendocument SOURCES tst_opendocument.cpp documentfixture.h scriptedservices.h)
orvo_add_test(tst_e2e_save SOURCES tst_e2e_save.cpp xdo.h XVFB TIMEOUT 120)
orvo_add_test(tst_newquit SOURCES tst_newquit.cpp documentfixture.h scriptedservices.h)
orvo_add_test(tst_e2e_day SOURCES tst_e2e_day.cpp xdo.h XVFB TIMEOUT 120)
# A dark desktop theme; files dropped on the editor.
orvo_add_test(tst_darkpalette SOURCES tst_darkpalette.cpp documentfixture.h scriptedservices.h TIMEOUT 60)
orvo_add_test(tst_drops SOURCES tst_drops.cpp documentfixture.h scriptedservices.h TIMEOUT 60)
