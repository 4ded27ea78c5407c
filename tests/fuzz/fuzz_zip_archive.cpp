// The skin archive reader over any bytes: opening, looking entries up and
// reading them whole, with the CRC and size checks.
#include <cstdint>
#include <vector>

#include "ui/zipresource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const wchar_t* const kNames[] = {L"a", L"skin.xml", L"img/b.png", L"\u4e2d.txt"};
    TavroLib::CZipResource zip;
    if (!zip.OpenMemory(L"fuzz", data, size))
        return 0;
    for (const wchar_t* name : kNames) {
        std::vector<unsigned char> out;
        const bool has = zip.HasEntry(name);
        const bool read = zip.ReadEntry(name, out);
        if ((read && !has) || (!read && !out.empty()) ||
            out.size() > TavroLib::CZipResource::kMaxEntrySize)
            __builtin_trap();
    }
    zip.Close();
    if (zip.IsOpen())
        __builtin_trap();
    return 0;
}
