# Tests of the window shell: drag arithmetic, prompt windows, and the title strip,
# window states and dragging on a real X server.
orvo_add_test(tst_dragstep TIMEOUT 30)
orvo_add_test(tst_prompts TIMEOUT 60)
orvo_add_test(tst_shell_x11 XVFB TIMEOUT 120)
orvo_add_test(tst_accessibility SOURCES tst_accessibility.cpp editingfixture.h scriptedservices.h TIMEOUT 60)
# The program at 200 % on a small screen.
orvo_add_test(tst_scale XVFB TIMEOUT 60)
if(TEST tst_scale)
    set_tests_properties(tst_scale PROPERTIES ENVIRONMENT "ORVO_XVFB_SCREEN=1024x768x24")
endif()
