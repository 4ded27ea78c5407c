// Append-only JSON-lines files that the tests read back.
#pragma once

#include <cjson/cJSON.h>

#include <mutex>
#include <string>

namespace vorn::svc {

// The whole content of a data file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* out);

// Current UTC time as ISO 8601 with milliseconds, e.g. "2026-12-01T10:00:00.123Z".
std::string IsoTimeNow();

class Journal {
  public:
    explicit Journal(std::string path) : path_(std::move(path)) {}

    // Writes the object as one line; each line is written whole, so readers
    // never see half a record.
    bool Append(const cJSON* record);

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::mutex mutex_;
};

// Owns a cJSON tree.
struct JsonDeleter {
    void operator()(cJSON* p) const { cJSON_Delete(p); }
};

}  // namespace vorn::svc
