#include "agent/json_writer.h"

#include <cstdio>

#include "util/string_util.h"

namespace e2e {

std::string JsonQuote(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

void JsonWriter::Separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_filled.empty()) {
        if (m_filled.back())
            m_out += ",";
        m_filled.back() = true;
    }
}

void JsonWriter::Raw(const std::string& text) {
    Separate();
    m_out += text;
}

JsonWriter& JsonWriter::BeginObject() {
    Raw("{");
    m_filled.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_filled.pop_back();
    m_out += "}";
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Raw("[");
    m_filled.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_filled.pop_back();
    m_out += "]";
    return *this;
}

JsonWriter& JsonWriter::Key(const std::string& name) {
    Raw(JsonQuote(name) + ":");
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(const std::wstring& text) {
    return String(vorn::WideToUtf8(text));
}

JsonWriter& JsonWriter::String(const std::string& utf8) {
    Raw(JsonQuote(utf8));
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    Raw(std::to_string(value));
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    Raw(value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::Null() {
    Raw("null");
    return *this;
}

}  // namespace e2e
