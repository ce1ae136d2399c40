# The installed tree as a desktop reads it, checked with the desktop's own validators.
add_test(NAME install_tree COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-install.sh ${CMAKE_BINARY_DIR})
set_tests_properties(install_tree PROPERTIES TIMEOUT 120 LABELS install)
