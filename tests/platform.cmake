# The platform's own dialogs through the real adapters.
orvo_add_test(tst_platformdialogs LINKS orvo_platform TIMEOUT 120)
