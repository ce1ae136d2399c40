orvo_add_test(tst_form1layout SOURCES tst_form1layout.cpp scriptedservices.h)
orvo_add_test(tst_richtextbox SOURCES tst_richtextbox.cpp LINKS orvo_platform)
