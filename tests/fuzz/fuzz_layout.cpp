// The layout reader's portable core: the XML parse as the layout builder
// does it, the walk with its depth and size limits, and every attribute
// value through every attribute parser. (Creating the controls themselves
// needs Win32.)
#include <pugixml.hpp>

#include <cstdint>
#include <string>

#include "ui/attributes.h"
#include "util/string_util.h"

namespace {

constexpr int kMaxDepth = 64;
constexpr int kMaxControls = 4096;
constexpr size_t kMaxResourceBytes = 64u << 20;

void CheckRect(const RECT& rc) {
    const LONG m = TavroLib::kMaxCoordinate;
    for (LONG v : {rc.left, rc.top, rc.right, rc.bottom}) {
        if (v < -m || v > m)
            __builtin_trap();
    }
}

void ParseValue(const std::wstring& value) {
    const wchar_t* v = value.c_str();
    DWORD color = 0;
    TavroLib::ParseColor(v, color);
    TavroLib::ParseColorOr(v, 0);
    CheckRect(TavroLib::ParseRect(v));
    const SIZE sz = TavroLib::ParseSize(v);
    if (sz.cx < 0 || sz.cy < 0 || sz.cx > TavroLib::kMaxCoordinate ||
        sz.cy > TavroLib::kMaxCoordinate)
        __builtin_trap();
    const int n = TavroLib::ParseInt(v, 1, 500, 12);
    if (n < 1 || n > 500)
        __builtin_trap();
    TavroLib::ParseBool(v);
    TavroLib::ImageAttr image;
    if (TavroLib::ParseImageAttr(v, image) && image.file.empty())
        __builtin_trap();
    if (image.hasDest)
        CheckRect(image.dest);
    TavroLib::ParseAlign(v, 0);
}

void Walk(const pugi::xml_node& node, int depth, int& controls) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (depth > kMaxDepth || controls >= kMaxControls)
            return;
        ++controls;
        vorn::Utf8ToWide(child.name());
        for (const pugi::xml_attribute& a : child.attributes()) {
            vorn::Utf8ToWide(a.name());
            ParseValue(vorn::Utf8ToWide(a.value()));
        }
        Walk(child, depth + 1, controls);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > kMaxResourceBytes)
        return 0;
    // The attribute parsers also see the raw input as one value.
    ParseValue(vorn::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size)));
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size, pugi::parse_default, pugi::encoding_utf8))
        return 0;
    int controls = 0;
    Walk(doc, 1, controls);
    return 0;
}
