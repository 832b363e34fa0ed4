// The program's own exception type. The file classes catch it (and
// std::bad_alloc, turned into it) and trace its message instead of letting
// it leave them.
#pragma once

#include <stdexcept>
#include <string>

class CQX5Exception : public std::runtime_error {
 public:
  explicit CQX5Exception(const std::string& message) : std::runtime_error(message) {}
};
