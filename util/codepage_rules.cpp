#include "util/codepage_rules.h"

namespace vorn {
namespace {

constexpr UINT kGb18030 = 54936;

bool TakesNoFlags(UINT codePage) {
    switch (codePage) {
        case 42:     // Symbol
        case 50220:  // ISO-2022 Japanese, Korean, Chinese
        case 50221:
        case 50222:
        case 50225:
        case 50227:
        case 50229:
        case CP_UTF7:
            return true;
        default:
            return codePage >= 57002 && codePage <= 57011;  // ISCII
    }
}

}  // namespace

CodePageRules RulesForCodePage(UINT codePage) {
    if (codePage == CP_UTF8 || codePage == kGb18030)
        return {WC_ERR_INVALID_CHARS, false, MB_ERR_INVALID_CHARS, false};
    if (TakesNoFlags(codePage))
        return {0, false, 0, true};
    return {WC_NO_BEST_FIT_CHARS, true, MB_ERR_INVALID_CHARS, false};
}

UINT ResolveCodePage(UINT codePage) {
    return codePage == CP_ACP ? ::GetACP() : codePage;
}

size_t NarrowBufferBytes(UINT codePage, size_t wideChars) {
    return ResolveCodePage(codePage) == CP_UTF8 ? wideChars * 3 : wideChars;
}

}  // namespace vorn
