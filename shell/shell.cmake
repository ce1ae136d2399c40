# Title strip and window states, prompt windows, dragging with edge snapping.
target_sources(orvo_core PRIVATE
    dragstep.h dragstep.cpp
)
target_sources(orvo_ui PRIVATE
    windowdrag.h windowdrag.cpp
    windowactivation.h windowactivation.cpp
    formaccessible.h formaccessible.cpp
    controlaccessible.h controlaccessible.cpp
    frenchactions.h
    pictureboxaccessible.h pictureboxaccessible.cpp
    promptdef.h promptdef.cpp
    promptform.h promptform.cpp
    form2.h form2.cpp
    form3.h form3.cpp
)
