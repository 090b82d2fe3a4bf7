#pragma once

#include <sstream>
#include <string>

#include "zorv_interface/script_writer.h"

namespace zorv_interface {
namespace detail {

// Collects a script's text: "def <name>() " header, the body, "end".
class ScriptWriter : public zorv_interface::ScriptWriter {
public:
    explicit ScriptWriter(const std::string& name);

    ScriptWriter& append(const char* data, std::size_t size) override;
    ScriptWriter& append(const std::string& line) override;
    ScriptWriter& ifCondition() override;
    ScriptWriter& elseIfCondition() override;
    ScriptWriter& elseCondition() override;
    ScriptWriter& whileCondition() override;
    ScriptWriter& moveJoint() override;
    ScriptWriter& moveLine() override;
    ScriptWriter& end() override;

    // Closes the text with end() and returns all of it.
    std::string build();
    // The text collected so far.
    std::string text() const;

private:
    std::ostringstream stream;
};

}  // namespace detail
}  // namespace zorv_interface
