# Document lifecycle: the save procedures.
target_sources(orvo_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/module2.h
    ${CMAKE_CURRENT_LIST_DIR}/module2.cpp
)
