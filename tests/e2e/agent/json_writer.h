// A small streaming JSON writer for the agent's result file: UTF-8 output,
// commas and nesting handled, strings escaped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

class JsonWriter {
  public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& name);
    JsonWriter& String(const std::wstring& text);
    JsonWriter& String(const std::string& utf8);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    const std::string& Text() const { return m_out; }

  private:
    void Separate();
    void Raw(const std::string& text);

    std::string m_out;
    // One entry per open container: whether something was written into it yet.
    std::vector<bool> m_filled;
    bool m_afterKey = false;
};

std::string JsonQuote(const std::string& utf8);

}  // namespace e2e
