#pragma once

#include <cstddef>
#include <string>

#include "zorv_interface/export.h"

namespace zorv_interface {

// Receives the body of a script sent by ScriptClient::send. The client opens the
// text with the function header and closes it with "end"; the writer neither
// checks nor escapes what it is given.
class ZORV_SDK_API ScriptWriter {
public:
    ScriptWriter() = default;
    virtual ~ScriptWriter();

    // Exactly size bytes, nothing added.
    virtual ScriptWriter& append(const char* data, std::size_t size) = 0;
    // The line followed by a line feed.
    virtual ScriptWriter& append(const std::string& line) = 0;

    // Reserved statement builders; they leave the text unchanged.
    virtual ScriptWriter& ifCondition() = 0;
    virtual ScriptWriter& elseIfCondition() = 0;
    virtual ScriptWriter& elseCondition() = 0;
    virtual ScriptWriter& whileCondition() = 0;
    virtual ScriptWriter& moveJoint() = 0;
    virtual ScriptWriter& moveLine() = 0;

    // Writes "end" and a line feed.
    virtual ScriptWriter& end() = 0;

protected:
    ScriptWriter(const ScriptWriter&) = default;
    ScriptWriter& operator=(const ScriptWriter&) = default;
};

}  // namespace zorv_interface
