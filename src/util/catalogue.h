// The aerofoils and materials that rotorforge's menus offer, for every program that names,
// chooses or checks them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace catalogue {

// One shipped aerofoil: answer n of the aerofoil menu is entry n - 1.
struct Aerofoil {
  std::string_view stem;       // the data files' name: Data/STEM.dat, Data/LiftSTEM.dat
  std::string_view menu_name;  // as the aerofoil menu shows it
  // The two data files as 22-character fields padded with blanks, the form the menu's copy
  // reads them in; the file is the field without its trailing blanks.
  std::string_view polar_field;
  std::string_view outline_field;
};

inline constexpr std::array<Aerofoil, 3> kAerofoils = {{
    {"naca4412", "NACA4412", "Data/Liftnaca4412.dat ", "Data/naca4412.dat     "},
    {"sg6043", "sg6043", "Data/Liftsg6043.dat   ", "Data/sg6043.dat       "},
    {"naca4432", "NACA4432", "Data/Liftnaca4432.dat ", "Data/naca4432.dat     "},
}};

// The field without its padding: the file name relative to the working directory.
constexpr std::string_view unpadded(std::string_view field) {
  return field.substr(0, field.find_last_not_of(' ') + 1);
}

// 1 ... 3 for the stem of a shipped aerofoil, 0 for any other name.
constexpr int shipped_number(std::string_view stem) {
  for (std::size_t i = 0; i < kAerofoils.size(); ++i) {
    if (kAerofoils[i].stem == stem) return static_cast<int>(i) + 1;
  }
  return 0;
}

// The answer that keeps the aerofoil already installed in Temp/ (an imported section).
inline constexpr std::int64_t kImportedFoilAnswer = 4;

// One blade material: answer n of the material menu is entry n - 1.
struct Material {
  std::string_view key;  // lower-case name, as study files and command lines give it
  double density;        // kg/m^3
};

inline constexpr std::array<Material, 5> kMaterials = {{
    {"wood", 560.0},
    {"aluminium", 2700.0},
    {"s-glass", 1740.0},
    {"carbon", 1350.0},
    {"polywood", 800.0},
}};

// 1 ... 5 for a material's key, 0 for any other name.
constexpr int material_number(std::string_view key) {
  for (std::size_t i = 0; i < kMaterials.size(); ++i) {
    if (kMaterials[i].key == key) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace catalogue
