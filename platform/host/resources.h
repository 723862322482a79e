// Host platform: the resources compiled into the program (pages, style sheet, images, icon,
// string table), addressed by resource type and numeric id as on Windows.
#pragma once

#include <optional>
#include <string>

namespace host {

// The bytes of resource `type`/`id` ("HTML", 132), or nothing when the program has none.
std::optional<std::string> FindResourceData(const std::string& type, unsigned id);

}  // namespace host
