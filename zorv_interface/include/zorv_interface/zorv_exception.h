#pragma once

#include <exception>
#include <string>

#include "zorv_interface/export.h"

namespace zorv_interface {

class ZORV_SDK_API ZorvException : public std::exception {
public:
    ZorvException(int code, const std::string& message);
    // Message a + "-" + b: the call layer passes the method name and the cause.
    ZorvException(int code, const std::string& a, const std::string& b);
    ZorvException(const ZorvException& other);
    ~ZorvException() override;

    const char* what() const noexcept override;
    int code() const;

private:
    int code_;
    std::string message_;
};

}  // namespace zorv_interface
