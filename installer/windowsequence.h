// The order of the installer's windows, from the check to the last one.
#pragma once

#include <windows.h>

// Runs the windows of one installer run; uninitialises COM at its end.
void RunWindowSequence(HINSTANCE instance, const char* commandLine);

// The steps of the sequence, in order.
// Toolkit settings before the first window: instance, shadow window class,
// resource folder.
void SetUpToolkit(HINSTANCE instance);
// Reporter, install context, the check window and the course it chooses.
void RunWindows(const char* commandLine);
// The windows after the check, chosen by the install context's checkType.
void RunCourse();
