# Framework and controls: windows, paint manager, controls, layout builder.
list(APPEND UI_CORE_SOURCES
    uiattr.cpp
    uibase.cpp
    uibutton.cpp
    uicontainer.cpp
    uicontrol.cpp
    uidelegate.cpp
    uidlgbuilder.cpp
    uiedit.cpp
    uieditwnd.cpp
    uigifanim.cpp
    uilabel.cpp
    uimanager.cpp
    uioption.cpp
    uiprogress.cpp
    uirender.cpp
    uiresource.cpp
    windowimplbase.cpp)
