# The editor's layout on large and extreme documents.
orvo_add_test(tst_largedocument SOURCES tst_largedocument.cpp documentfixture.h scriptedservices.h TIMEOUT 900)
# In two halves that run side by side: the longest function alone, then the others.
set_property(TEST tst_largedocument APPEND PROPERTY ENVIRONMENT "ORVO_TEST_HALF=ends")
add_test(NAME tst_largedocument_rest COMMAND tst_largedocument)
set_tests_properties(tst_largedocument_rest PROPERTIES TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORVO_TEST_HALF=rest")
orvo_private_config(tst_largedocument_rest)
orvo_add_test(tst_tablelayout SOURCES tst_tablelayout.cpp documentfixture.h scriptedservices.h TIMEOUT 300)
orvo_add_test(tst_flowindex LINKS orvo_layout TIMEOUT 120)
# Documents look as their producer showed them.
orvo_add_test(tst_producerlook LINKS orvo_platform)
# A section in newspaper columns: the flow, the caret, clicks and keys across them.
orvo_add_test(tst_columns SOURCES tst_columns.cpp layoutcheck.h LINKS orvo_platform)
# Text measured as the producer measures it: widths, breaks and line heights.
orvo_add_test(tst_producermetrics SOURCES tst_producermetrics.cpp documentfixture.h scriptedservices.h)
# Edits that once broke the program or left the layout off.
orvo_add_test(tst_editinglayout SOURCES tst_editinglayout.cpp documentfixture.h scriptedservices.h layoutcheck.h TIMEOUT 300)
# A short seeded run of the editing stress test.
orvo_add_test(tst_editstress SOURCES tst_editstress.cpp editstress.cpp editstresssteps.cpp editstress.h layoutcheck.h documentfixture.h scriptedservices.h TIMEOUT 300)
# The long editing stress run (scripts/stress-edits.sh); not part of the suite.
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/stress_edits.cpp)
    qt_add_executable(stress_edits stress_edits.cpp editstress.cpp editstresssteps.cpp editstress.h layoutcheck.h documentfixture.h scriptedservices.h)
    target_link_libraries(stress_edits PRIVATE orvo_app Qt6::Test)
endif()
