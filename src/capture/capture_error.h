#pragma once
// The one error a capture file reader stops with.

#include <string>

namespace klimavo::capture {

/// Where a file could not be read, and why.
struct CaptureError {
  std::string file;   ///< as given by ReadOptions::source
  int line = 0;       ///< 1-based; 0 when the fault is not on one line
  std::string token;  ///< the token at fault (empty when there is none)
  std::string message;

  /// "file:line: message: 'token'" (line and token left out when absent).
  std::string What() const;
};

}  // namespace klimavo::capture
