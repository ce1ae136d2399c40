# Title strip and window states, the prompt windows' frame, dragging with edge snapping.
target_sources(orvo_shell PRIVATE
    dragstep.h dragstep.cpp
    windowdrag.h windowdrag.cpp
    windowactivation.h windowactivation.cpp
    formaccessible.h formaccessible.cpp
    controlaccessible.h controlaccessible.cpp
    frenchactions.h
    pictureboxaccessible.h pictureboxaccessible.cpp
    promptdef.h promptdef.cpp
    promptform.h promptform.cpp
)
