// The functions a loaded library takes from other libraries, read from its dynamic
// section: which of them its relocations bind.
#pragma once

#include <initializer_list>
#include <string_view>

#include "platform/DynamicLibrary.h"

namespace qorv::platform {

// True when the library imports any of the names, or when its imports cannot be read.
bool ImportsAnyOf(const DynamicLibrary& library, std::initializer_list<std::string_view> names);

}  // namespace qorv::platform
