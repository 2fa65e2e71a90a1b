// JSON for scripts (--json), through nlohmann's library. Drive texts are bytes
// as the drive gives them; what is not UTF-8 is shown as U+FFFD.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

// The version of the documents' keys, at the top of each: a script can tell
// a document it was written for from a later one.
constexpr int kJsonFormat = 1;

inline std::string JsonText(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// A whole document of standard output: `body`'s keys and the format.
inline std::string JsonDocument(nlohmann::json body)
{
    body["format"] = kJsonFormat;
    return JsonText(body);
}

// The document of a command that ends without its own: why, and the status.
inline std::string JsonError(const std::string& message, int exitStatus, nlohmann::json more = nlohmann::json::object())
{
    more["message"] = message;
    more["exitStatus"] = exitStatus;
    return JsonDocument({{"error", more}});
}
