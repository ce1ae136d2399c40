# The editor's document layout: estimated heights laid out on demand and in slices.
target_sources(orvo_ui PRIVATE
    flowindex.h flowindex.cpp
    paragraphlayout.h paragraphlayout.cpp
    framelayout.h framelayout.cpp
    tablelayout.h tablelayout.cpp
    imagehandler.h imagehandler.cpp
    documentlayout.h documentlayout.cpp
    backgroundlayout.h backgroundlayout.cpp
    softbreaks.h softbreaks.cpp
)
