// The name of the working aerofoil, for programs that show it.
//
// rotorforge's working polar Temp/Lift_Drag.dat holds numbers only. A companion program that
// installs an aerofoil leaves its name beside it in a small file of its own, together with a
// fingerprint of the polar it installed; a later choice at rotorforge's aerofoil menu replaces
// the polar but not that file, and the fingerprint then tells that the name no longer belongs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace working_name {

// The file, relative to the working directory.
inline constexpr const char* kPath = "Temp/Lift_Drag.name";

// FNV-1a, 64 bits, of the polar file's bytes.
std::uint64_t fingerprint(std::string_view bytes);

// The file's text for aerofoil `name` installed with polar bytes `polar`: the name on the first
// line, the fingerprint (16 hexadecimal digits) on the second.
std::string record(std::string_view name, std::string_view polar);

// The name that `record_text` gives to the polar `polar`; "" when the text is not such a record
// or was written for another polar.
std::string name_of(std::string_view record_text, std::string_view polar);

}  // namespace working_name
