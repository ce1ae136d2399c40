# Document lifecycle: the save procedures.
target_sources(orvo_document PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/module2.h
    ${CMAKE_CURRENT_LIST_DIR}/module2.cpp
)
