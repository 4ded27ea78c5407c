#include "ui/dialogbuilder.h"

#include <pugixml.hpp>

#include "ui/attributes.h"
#include "ui/button.h"
#include "ui/panel.h"
#include "ui/edit.h"
#include "ui/gifanim.h"
#include "ui/label.h"
#include "ui/paintmanager.h"
#include "ui/option.h"
#include "ui/progress.h"
#include "ui/resources.h"
#include "util/string_util.h"

namespace TavroLib {
namespace {

std::wstring W(const char* utf8) {
    return vorn::Utf8ToWide(utf8 ? utf8 : "");
}

struct BuildState {
    IDialogBuilderCallback* callback;
    CPaintManagerUI* manager;
    int controls = 0;
    bool failed = false;
};

void ApplyWindowAttributes(const pugi::xml_node& root, CPaintManagerUI* pm) {
    if (pm == nullptr)
        return;
    for (const pugi::xml_attribute& a : root.attributes()) {
        const std::string name = a.name();
        const std::wstring value = W(a.value());
        if (name == "size") {
            const SIZE sz = ParseSize(value.c_str());
            pm->SetInitialSize(sz.cx, sz.cy);
        } else if (name == "caption") {
            pm->SetCaptionArea(ParseRect(value.c_str()));
        } else if (name == "accrole") {
            pm->SetDialogWindow(value == L"dialog");
        } else if (name == "roundcorner") {
            const SIZE sz = ParseSize(value.c_str());
            pm->SetCornerSize(sz.cx, sz.cy);
        } else if (name == "sizebox") {
            pm->SetResizeBorder(ParseRect(value.c_str()));
        } else if (name == "mininfo") {
            const SIZE sz = ParseSize(value.c_str());
            pm->SetMinimumSize(sz.cx, sz.cy);
        } else if (name == "maxinfo") {
            const SIZE sz = ParseSize(value.c_str());
            pm->SetMaximumSize(sz.cx, sz.cy);
        } else if (name == "showshadow") {
            pm->SetHasShadow(ParseBool(value.c_str()));
        }
        // Other window attributes (shadow image and corner, ...) are not used.
    }
}

void AddFont(const pugi::xml_node& node, CPaintManagerUI* pm) {
    if (pm == nullptr)
        return;
    // Fonts are numbered by their order; "id" is not read.
    const std::wstring face = W(node.attribute("name").value());
    const int size = ParseInt(W(node.attribute("size").value()).c_str(), 1, 500, 12);
    const bool bold = ParseBool(W(node.attribute("bold").value()).c_str());
    const bool underline = ParseBool(W(node.attribute("underline").value()).c_str());
    const bool italic = ParseBool(W(node.attribute("italic").value()).c_str());
    const int index = pm->AddFont(face.c_str(), size, bold, underline, italic);
    if (index >= 0 && ParseBool(W(node.attribute("default").value()).c_str()))
        pm->SetDefaultFont(index);
}

CControlUI* BuildNode(const pugi::xml_node& node, CControlUI* parent, BuildState& state, int depth);

// Builds the element children of node into parent (or returns the first one
// when parent is null).
CControlUI* BuildChildren(const pugi::xml_node& node, CPanelUI* parent, BuildState& state,
                          int depth) {
    CControlUI* first = nullptr;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        if (depth > CDialogBuilder::kMaxDepth || state.controls >= CDialogBuilder::kMaxControls) {
            state.failed = true;
            return first;
        }
        CControlUI* c = BuildNode(child, parent, state, depth);
        if (state.failed) {
            if (c != nullptr && parent == nullptr)
                delete c;
            return first;
        }
        if (c == nullptr)
            continue;
        if (parent != nullptr) {
            parent->Add(c);
        } else if (first == nullptr) {
            first = c;
        } else {
            delete c;  // a layout has one root control
        }
    }
    return first;
}

CControlUI* BuildNode(const pugi::xml_node& node, CControlUI* parent, BuildState& state,
                      int depth) {
    const std::wstring cls = W(node.name());
    if (cls == L"Font") {
        AddFont(node, state.manager);
        return nullptr;
    }
    if (cls == L"Default" || cls == L"Image" || cls == L"Include" || cls == L"Style")
        return nullptr;
    CControlUI* control = CDialogBuilder::CreateKnownControl(cls.c_str());
    if (control == nullptr && state.callback != nullptr)
        control = state.callback->CreateControl(cls.c_str());
    if (control == nullptr)
        return nullptr;  // unknown element: skipped with its children
    ++state.controls;
    control->AttachTo(state.manager, parent, false);
    for (const pugi::xml_attribute& a : node.attributes()) {
        control->SetAttribute(W(a.name()).c_str(), W(a.value()).c_str());
    }
    if (CPanelUI* panel = control->AsPanel()) {
        BuildChildren(node, panel, state, depth + 1);
        if (state.failed) {
            delete control;
            return nullptr;
        }
    }
    return control;
}

}  // namespace

CControlUI* CDialogBuilder::CreateKnownControl(const wchar_t* typeName) {
    if (typeName == nullptr)
        return nullptr;
    const std::wstring c(typeName);
    if (c == L"VerticalLayout")
        return new CColumnUI();
    if (c == L"Container")
        return new CPanelUI();
    if (c == L"Control")
        return new CControlUI();
    if (c == L"Label" || c == L"Text")
        return new CLabelUI();
    if (c == L"Button")
        return new CButtonUI();
    if (c == L"Option")
        return new COptionUI();
    if (c == L"Edit")
        return new CEditUI();
    if (c == L"Progress")
        return new CProgressUI();
    if (c == L"GifAnim")
        return new CGifAnimUI();
    return nullptr;
}

CControlUI* CDialogBuilder::Create(const wchar_t* xml, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
    m_error.clear();
    std::vector<unsigned char> bytes;
    if (xml == nullptr || !ReadResourceBytes(xml, bytes)) {
        m_error = L"layout not found";
        return nullptr;
    }
    return CreateFromBytes(bytes, callback, manager, parent);
}

CControlUI* CDialogBuilder::CreateFromBytes(const std::vector<unsigned char>& bytes,
                                            IDialogBuilderCallback* callback,
                                            CPaintManagerUI* manager, CControlUI* parent) {
    m_error.clear();
    if (bytes.empty() || bytes.size() > kMaxResourceBytes) {
        m_error = L"layout empty or too large";
        return nullptr;
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        m_error = L"malformed layout: " + W(parsed.description());
        return nullptr;
    }
    pugi::xml_node root = doc.document_element();
    if (!root) {
        m_error = L"layout has no root element";
        return nullptr;
    }
    BuildState state{callback, manager};
    CControlUI* result = nullptr;
    if (std::string(root.name()) == "Window") {
        ApplyWindowAttributes(root, manager);
        CPanelUI* panel = parent ? parent->AsPanel() : nullptr;
        result = BuildChildren(root, panel, state, 1);
        if (panel != nullptr && !state.failed)
            result = parent;
    } else {
        result = BuildNode(root, parent, state, 1);
    }
    if (state.failed) {
        m_error = L"layout too deep or too large";
        if (result != nullptr && result != parent)
            delete result;
        return nullptr;
    }
    if (result == nullptr)
        m_error = L"layout holds no control";
    return result;
}

}  // namespace TavroLib
