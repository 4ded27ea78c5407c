// The order of the installer's windows, from the check to the last one.
#pragma once

#include <windows.h>

// Runs the windows of one installer run; uninitialises COM at its end.
void RunWindowSequence(HINSTANCE instance, const char* commandLine);
