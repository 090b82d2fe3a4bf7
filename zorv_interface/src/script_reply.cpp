#include "script_reply.h"

#include <cctype>
#include <sstream>

#include <nlohmann/json.hpp>

namespace zorv_interface {
namespace {

using nlohmann::json;

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// A missing member reads as null, as the service's replies are loose about members.
const json& member(const json& object, const char* key) {
    static const json null_value;
    const auto found = object.find(key);
    return found == object.end() ? null_value : *found;
}

bool hasEvent(const json& reply, const char* event) { return member(reply, "event") == event; }

// Closing "}" at from, white space, then "{": returns the position of that "{", or npos.
std::string::size_type nextObjectAfter(const std::string& text, std::string::size_type from) {
    auto pos = from + 1;
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
    const bool separated = pos > from + 1 && pos < text.size() && text[pos] == '{';
    return separated ? pos : std::string::npos;
}

void repairOpening(std::string& text) {
    if (!text.empty() && text.front() == '"') {
        text.insert(0, "{");
    } else if (text.compare(0, 2, "{\"") != 0) {
        text.insert(0, "{\"");
    }
}

std::string tableText(const json& value) {
    if (!value.is_array()) {
        return value.contains("name") ? value.at("name").get<std::string>() : std::string();
    }
    std::ostringstream out;
    out << '{';
    const char* separator = "";
    for (const json& item : value) {
        out << separator << (item.is_boolean() ? double(item.get<bool>()) : item.get<double>());
        separator = ", ";
    }
    out << '}';
    return out.str();
}

std::string valueText(const json& reply, bool unquoted_strings) {
    const json& type = member(reply, "type");
    const json& value = member(reply, "value");
    if (type == "table") {
        return tableText(value);
    }
    if (type == "nil") {
        return "nil";
    }
    if (type == "string" && unquoted_strings) {
        return value.get<std::string>();
    }
    return value.dump();
}

void deliverVariableUpdate(const json& reply, const ScriptReplyContext& context, bool& update_delivered) {
    const auto& handler = context.handlers.variable_update;
    const bool blocked = context.rules.one_update_per_burst && update_delivered;
    if (!handler || blocked || !hasEvent(reply, "updateVariable")) {
        return;
    }
    const std::string value = valueText(reply, context.rules.unquoted_strings);
    if (context.rules.one_update_per_burst) {
        update_delivered = true;
    }
    handler(member(reply, "name").get<std::string>(), value);
}

void deliverScriptError(const json& reply, const ScriptReplyContext& context) {
    if (!hasEvent(reply, "error")) {
        return;
    }
    const std::string data = member(reply, "data").dump();
    if (context.handlers.error_traceback) {
        const std::string traceback = reply.contains("traceback") ? reply.at("traceback").dump() : std::string();
        context.handlers.error_traceback(data, traceback);
    } else if (context.handlers.error) {
        context.handlers.error(data);
    }
}

void logFailure(const ScriptReplyContext& context, int line, const std::string& text, const char* cause) {
    Log(context.log_handler).Get(LogLevel::Warning, context.source, line)
        << "Parse json string |" << text << "| FAILED:" << cause;
}

}  // namespace

std::vector<std::string> splitReplies(const std::string& burst) {
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    bool in_string = false;
    bool escaped = false;
    for (std::string::size_type pos = 0; pos < burst.size(); ++pos) {
        const char c = burst[pos];
        if (in_string) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else {
                in_string = c != '"';
            }
            continue;
        }
        in_string = c == '"';
        const auto next = c == '}' ? nextObjectAfter(burst, pos) : std::string::npos;
        if (next != std::string::npos) {
            pieces.push_back(burst.substr(start, pos + 1 - start));
            start = next;
            pos = next - 1;
        }
    }
    pieces.push_back(burst.substr(start));
    return pieces;
}

void dispatchReplies(const std::string& burst, const ScriptReplyContext& context,
                     const std::function<bool()>& receiving) {
    bool update_delivered = false;
    for (auto& piece : splitReplies(burst)) {
        if (!receiving()) {
            return;
        }
        parseJson(std::move(piece), context, update_delivered);
    }
}

int parseJson(std::string text, const ScriptReplyContext& context, bool& update_delivered) {
    repairOpening(text);
    const ScriptReplyRules& rules = context.rules;
    try {
        const json reply = json::parse(text);
        deliverVariableUpdate(reply, context, update_delivered);
        deliverScriptError(reply, context);
    } catch (const json::parse_error& e) {
        logFailure(context, rules.parse_error_line, text, e.what());
    } catch (const json::type_error& e) {
        logFailure(context, rules.type_error_line, text, e.what());
    } catch (const json::exception&) {
        // The JSON library keeps its text outside the std::exception part.
        logFailure(context, rules.other_error_line, text, "Unknown exception");
    } catch (const std::exception& e) {
        logFailure(context, rules.other_error_line, text, e.what());
    } catch (...) {
        logFailure(context, rules.other_error_line, text, "Unknown exception");
    }
    return 0;
}

}  // namespace zorv_interface
