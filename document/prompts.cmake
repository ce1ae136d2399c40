# The two prompt windows and their answers.
target_sources(orvo_document PRIVATE
    form2.h form2.cpp
    form3.h form3.cpp
    form2answers.cpp
    form3answers.cpp
)
