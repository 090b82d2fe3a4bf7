#include "script_writer_detail.h"

namespace zorv_interface {

ScriptWriter::~ScriptWriter() = default;

namespace detail {

ScriptWriter::ScriptWriter(const std::string& name) {
    stream << "def " << name << "() \n";
}

ScriptWriter& ScriptWriter::append(const char* data, std::size_t size) {
    stream.write(data, static_cast<std::streamsize>(size));
    return *this;
}

ScriptWriter& ScriptWriter::append(const std::string& line) {
    stream << line << '\n';
    return *this;
}

ScriptWriter& ScriptWriter::ifCondition() { return *this; }
ScriptWriter& ScriptWriter::elseIfCondition() { return *this; }
ScriptWriter& ScriptWriter::elseCondition() { return *this; }
ScriptWriter& ScriptWriter::whileCondition() { return *this; }
ScriptWriter& ScriptWriter::moveJoint() { return *this; }
ScriptWriter& ScriptWriter::moveLine() { return *this; }

ScriptWriter& ScriptWriter::end() {
    stream << "end\n";
    return *this;
}

std::string ScriptWriter::build() {
    end();
    return stream.str();
}

std::string ScriptWriter::text() const { return stream.str(); }

}  // namespace detail
}  // namespace zorv_interface
