// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/JsonText.h"

#include <nlohmann/json.hpp>

std::string JsonString(std::string_view utf8) {
    // Bytes that are not UTF-8 after all become U+FFFD rather than an exception.
    using Json = nlohmann::json;
    return Json(std::string(utf8)).dump(-1, ' ', false, Json::error_handler_t::replace);
}
