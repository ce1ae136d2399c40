target_sources(orvo_ui PRIVATE
    module1.h module1.cpp
    styleindicators.h styleindicators.cpp
    indicatorrefresh.h indicatorrefresh.cpp
)
