# Tests of the window shell: drag arithmetic, prompt windows, and the title strip,
# window states and dragging on a real X server.
orvo_add_test(tst_dragstep LINKS orvo_shell TIMEOUT 30)
orvo_add_test(tst_prompts TIMEOUT 60)
orvo_add_test(tst_shell_x11 XVFB TIMEOUT 120)
orvo_add_test(tst_accessibility SOURCES tst_accessibility.cpp editingfixture.h scriptedservices.h TIMEOUT 60)
# The keyboard on the prompts and the main window; the program at 200 % on a small
# screen.
orvo_add_test(tst_keyboard SOURCES tst_keyboard.cpp editingfixture.h scriptedservices.h TIMEOUT 60)
orvo_add_test(tst_scale XVFB TIMEOUT 60)
# The main window at 150 %.
orvo_add_test(tst_fractionalscale SOURCES tst_fractionalscale.cpp editingfixture.h scriptedservices.h TIMEOUT 30)
# The file dialogs' types in French whatever the desktop's locale.
orvo_add_test(tst_filetypes TIMEOUT 30)
if(TEST tst_scale)
    set_property(TEST tst_scale APPEND PROPERTY ENVIRONMENT "ORVO_XVFB_SCREEN=1024x768x24")
endif()
# The accessible tree as a screen reader reads it over AT-SPI, with the program on
# an X server and a session bus of its own (the bus starts the accessibility bus).
find_program(ORVO_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(ORVO_DBUS_RUN_SESSION dbus-run-session)
if(ORVO_SYSTEM_PYTHON AND ORVO_DBUS_RUN_SESSION)
    add_test(NAME tst_atspi COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-xserver.sh ${ORVO_DBUS_RUN_SESSION} --
             ${ORVO_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tst_atspi.py $<TARGET_FILE:orvo>)
    set_tests_properties(tst_atspi PROPERTIES RUN_SERIAL TRUE LABELS xvfb TIMEOUT 120)
    orvo_private_config(tst_atspi)
endif()
