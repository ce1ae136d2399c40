# The RTF reader: tokenizer, code pages, parser and document builder.
target_sources(orvo_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/rtfreader.h
    ${CMAKE_CURRENT_LIST_DIR}/rtfreader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rtfstate.h
    ${CMAKE_CURRENT_LIST_DIR}/rtftokenizer.h
    ${CMAKE_CURRENT_LIST_DIR}/rtftokenizer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rtfcodepage.h
    ${CMAKE_CURRENT_LIST_DIR}/rtfcodepage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rtfdocumentbuilder.h
    ${CMAKE_CURRENT_LIST_DIR}/rtfdocumentbuilder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rtfparser.h
    ${CMAKE_CURRENT_LIST_DIR}/rtfparser.cpp
)
