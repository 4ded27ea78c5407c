#include "support/address_squeeze.h"

#include <windows.h>

namespace vorn::test {

AddressSqueeze::AddressSqueeze(size_t leaveBytes) {
    if (!Possible())
        return;
    for (size_t size : {size_t(256) << 20, size_t(64) << 20, size_t(16) << 20, size_t(4) << 20,
                        size_t(1) << 20}) {
        while (void* p = ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
            blocks_.push_back(p);
    }
    // The last blocks are the smallest: give back enough of them.
    for (size_t freed = 0; freed < leaveBytes && !blocks_.empty(); freed += size_t(1) << 20) {
        ::VirtualFree(blocks_.back(), 0, MEM_RELEASE);
        blocks_.pop_back();
    }
}

AddressSqueeze::~AddressSqueeze() {
    for (void* p : blocks_)
        ::VirtualFree(p, 0, MEM_RELEASE);
}

}  // namespace vorn::test
