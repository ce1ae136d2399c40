target_sources(orvo_editing PRIVATE
    module1.h module1.cpp
    styleindicators.h styleindicators.cpp
    indicatorrefresh.h indicatorrefresh.cpp
)
