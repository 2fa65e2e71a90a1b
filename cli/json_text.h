// JSON for scripts (--json), through nlohmann's library. Drive texts are bytes
// as the drive gives them; what is not UTF-8 is shown as U+FFFD.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

inline std::string JsonText(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}
