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

// One blade material: answer n of the material menu is entry n - 1. The density is what the
// blade's mass is taken with; the strength and the elastic constants are handbook values for the
// blade as a beam.
struct Material {
  std::string_view key;  // lower-case name, as study files and command lines give it
  double density;        // kg/m^3
  double strength;       // characteristic strength along the blade, MPa
  double modulus;        // modulus along the blade E1, GPa
  // For the buckling of a thin skin, an orthotropic plate with its first axis along the blade:
  double transverse;        // modulus across the blade E2, GPa
  double poisson;           // Poisson's ratio nu12 (0 where the source gives none: conservative)
  double shear;             // in-plane shear modulus G12, GPa
  std::string_view source;  // where the strength and the elastic constants come from
};

inline constexpr std::array<Material, 5> kMaterials = {{
    // Strength class C24: bending strength, mean moduli along and across the grain, shear.
    {"wood", 560.0, 24.0, 11.0, 0.37, 0.0, 0.69, "EN 338:2016, strength class C24"},
    // EN AW-6061 T6 extrusions: 0.2 % proof strength; isotropic, G = 27 GPa, nu = 0.3.
    {"aluminium", 2700.0, 240.0, 70.0, 70.0, 0.3, 27.0, "EN 1999-1-1, EN AW-6061 T6"},
    // Glass/epoxy unidirectional lamina: compressive strength along the fibres (the smaller).
    {"s-glass", 1740.0, 610.0, 38.6, 8.27, 0.26, 4.14,
     "Kaw, Mechanics of Composite Materials (2006), Table 2.1, glass/epoxy"},
    // Graphite/epoxy T300/5208 unidirectional lamina.
    {"carbon", 1350.0, 1500.0, 181.0, 10.3, 0.28, 7.17,
     "Kaw, Mechanics of Composite Materials (2006), Table 2.1, T300/5208"},
    // Plywood bending class F40/E100; across the blade C24 timber's values, below any plywood's.
    {"polywood", 800.0, 40.0, 10.0, 0.37, 0.0, 0.69, "EN 636 F40/E100; across: EN 338 C24"},
}};

// 1 ... 5 for a material's key, 0 for any other name.
constexpr int material_number(std::string_view key) {
  for (std::size_t i = 0; i < kMaterials.size(); ++i) {
    if (kMaterials[i].key == key) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace catalogue
