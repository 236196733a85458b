// The widget library's one exception: what went wrong, which operation
// raised it, and where in the source.
#pragma once

#include <exception>
#include <string>

namespace gcn {

class Exception : public std::exception {
public:
    Exception() = default;
    Exception(std::string message, std::string function, std::string file_name, int line)
        : function_(std::move(function)),
          message_(std::move(message)),
          file_name_(std::move(file_name)),
          line_(line) {}

    const std::string& getFunction() const { return function_; }
    const std::string& getMessage() const { return message_; }
    const std::string& getFilename() const { return file_name_; }
    int getLine() const { return line_; }

    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string function_;
    std::string message_;
    std::string file_name_;
    int line_ = 0;
};

}  // namespace gcn

// Raises a gcn::Exception naming the operation and this source position.
#define GCN_EXCEPTION(message, function) ::gcn::Exception((message), (function), __FILE__, __LINE__)
