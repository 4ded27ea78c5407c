// Splitting a download address into host and path.
#pragma once

#include <string>

namespace vorn {

// Host and path of an "https://" (else "http://") URL, whatever stands before
// the marker; false, with host and path untouched, when neither occurs.
bool SplitUrl(const std::string& url, std::string& host, std::string& path);

}  // namespace vorn
