#include "zorv_interface/zorv_exception.h"

namespace zorv_interface {

ZorvException::ZorvException(int code, const std::string& message) : code_(code), message_(message) {}

ZorvException::ZorvException(int code, const std::string& a, const std::string& b)
    : code_(code), message_(a + "-" + b) {}

ZorvException::ZorvException(const ZorvException& other) = default;

ZorvException::~ZorvException() = default;

const char* ZorvException::what() const noexcept {
    return message_.c_str();
}

int ZorvException::code() const {
    return code_;
}

}  // namespace zorv_interface
