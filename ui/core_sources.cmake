# Framework and controls: windows, paint manager, controls, layout builder.
list(APPEND UI_CORE_SOURCES
    accessibility/accessibleclient.cpp
    accessibility/accessibleelements.cpp
    accessibility/accessibleevents.cpp
    attributes.cpp
    button.cpp
    control.cpp
    delegate.cpp
    dialogbuilder.cpp
    dpiscale.cpp
    edit.cpp
    gifanim.cpp
    imagescaler.cpp
    label.cpp
    nativeedit.cpp
    nativewindow.cpp
    option.cpp
    paintmanager.cpp
    panel.cpp
    progress.cpp
    renderer.cpp
    resources.cpp
    shadowwindow.cpp
    windowimplbase.cpp)
