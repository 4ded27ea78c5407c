// The copy of the channel file that the installed client reads.
#pragma once

// Writes the embedded channel file into the install folder; true when all of it was written.
bool InstallChannelFile();
