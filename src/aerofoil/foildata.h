// The catalogue of the three aerofoils and the working copies of the chosen one's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace foildata {

// The text of the working files as written, one "\n" per record: what reading the files back
// would give, read in memory instead (textio::InFile::over_text). `outline` is the text of both
// Temp/Profil.dat and Temp/ProfilI.dat.
struct Copies {
  std::string polar;
  std::string outline;
};

// Aerofoil n = 1, 2, 3 of catalogue::kAerofoils (NACA 4412, SG6043, NACA 4432): copies its polar
// into Temp/Lift_Drag.dat and its outline into Temp/Profil.dat and Temp/ProfilI.dat, and returns
// what it wrote. Any other n does nothing and returns nothing: the run uses the files as an
// earlier run left them.
std::optional<Copies> choice(std::int64_t n);

// Any number other than 1, 2 and 3 designs with the aerofoil that an earlier run left in the
// three working files. When one of them is missing, throws textio::RunError (status 1, as a
// failed open) saying so and naming the file; does nothing for 1, 2 and 3 or when all are there.
void require_earlier_aerofoil(std::int64_t n);

// Copies polar file `polar_name` and outline file `outline_name` (22-character fields, trailing
// blanks ignored) into the three working files, and returns what it wrote.
Copies replace(std::string_view polar_name, std::string_view outline_name);

}  // namespace foildata
