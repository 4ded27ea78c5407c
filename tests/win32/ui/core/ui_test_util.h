// Helpers of the toolkit tests: the embedded test skin and message pumping.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

namespace uitest {

// Opens resource ZIPRES id as the toolkit's archive under the name "membuffer".
bool OpenTestArchive(int id = 102);
bool ResourceBytes(int id, std::vector<unsigned char>& out);
// Dispatches this thread's messages for ms milliseconds, or until done() is true.
void Pump(DWORD ms, const std::function<bool()>& done = nullptr);

}  // namespace uitest
