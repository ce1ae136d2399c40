# The answers of the two prompt windows.
target_sources(orvo_ui PRIVATE
    form2answers.cpp
    form3answers.cpp
)
