#pragma once
#include <stdexcept>
#include <string>

namespace tabulex {

/// Failure raised by the report engine, carrying an English message.
class ERpError : public std::runtime_error {
public:
    explicit ERpError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tabulex
