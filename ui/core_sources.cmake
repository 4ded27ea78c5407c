# Framework and controls: windows, paint manager, controls, layout builder.
list(APPEND UI_CORE_SOURCES)
