// Host-side helpers of the device's path handling.
#pragma once

#include <string>

// The entry of `dir` whose name equals `name` without regard to case
// (an exact match first), or `name` itself when there is none.
std::string match_component(const std::string& dir, const std::string& name);
bool host_exists(const std::string& path);
