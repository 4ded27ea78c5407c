#include "installer/windowsequence.h"

#include <objbase.h>

void RunWindowSequence(HINSTANCE /*instance*/, const char* /*commandLine*/) {
    // The windows come with the UI toolkit; until then the run ends here.
    ::CoUninitialize();
}
