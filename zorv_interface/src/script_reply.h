#pragma once

#include <functional>
#include <string>
#include <vector>

#include "zorv_interface/log.h"

namespace zorv_interface {

using VariableUpdateHandler = std::function<void(const std::string& name, const std::string& value)>;
using ScriptErrorHandler = std::function<void(const std::string& data)>;
using ScriptErrorTracebackHandler = std::function<void(const std::string& data, const std::string& traceback)>;

struct ScriptReplyHandlers {
    VariableUpdateHandler variable_update;
    ScriptErrorHandler error;
    ScriptErrorTracebackHandler error_traceback;
};

// How one connector reads replies and where its parse failures are logged.
struct ScriptReplyRules {
    bool one_update_per_burst;
    bool unquoted_strings;
    int parse_error_line;
    int type_error_line;
    int other_error_line;
};

// Everything a burst is dispatched with; the handlers are a snapshot.
struct ScriptReplyContext {
    const ScriptReplyRules& rules;
    const char* source;
    LogHandler log_handler;
    ScriptReplyHandlers handlers;
};

// Cuts a burst between "}" and "{" separated by white space outside string literals.
std::vector<std::string> splitReplies(const std::string& burst);

// Splits a burst ending "\r\n\r\n" and dispatches its objects in order while
// receiving() holds: a handler that destroys its client ends the burst.
void dispatchReplies(const std::string& burst, const ScriptReplyContext& context,
                     const std::function<bool()>& receiving);

// Parses one reply object and calls the handler its event asks for; never throws.
// update_delivered enforces the one-update-per-burst rule where it applies.
int parseJson(std::string text, const ScriptReplyContext& context, bool& update_delivered);

}  // namespace zorv_interface
