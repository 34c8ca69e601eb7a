// Natural frequencies of the blade: a cantilever clamped at the hub, bending in the plane of
// rotation (edgewise) and out of it (flapwise), coupled through the twisted sections' full
// second-moment matrix, stiffened by the centrifugal force when it turns.
#pragma once

#include <cstddef>
#include <numbers>
#include <vector>

#include "loads/structure.h"

namespace loads {

// The blade for its modes, at a grid of radii from the hub to the tip (m, increasing, the
// rotation axis at radius 0): bending stiffness E·S in the rotor's axes (N m^2; X in the plane
// of rotation, Y downwind) and the mass per metre (kg/m), each linear between grid points.
struct ModalBeam {
  std::vector<double> radius;
  std::vector<double> exx, eyy, exy;  // E times the integrals of X^2, Y^2, X Y over the section
  std::vector<double> mass;
};
ModalBeam modal_beam(const Beam& b);

// One mode: its frequency (Hz) and the share of its kinetic energy that moves downwind (1: a
// purely flapwise mode, 0: purely edgewise).
struct Mode {
  double frequency = 0.0;
  double flap_share = 0.0;
};

// All modes of the blade turning at omega (rad/s), lowest first, by `elements` equal cubic
// beam elements (Hermite, 4-point Gauss) from hub to tip: stiffness, the centrifugal tension's
// geometric stiffness in both directions, and the in-plane softening -m omega^2 of a mass
// that turns with the plane; the eigenvalues of K x = w^2 M x by Cholesky, Householder
// reduction and QL iterations.
std::vector<Mode> modes(const ModalBeam& b, double omega, std::size_t elements);

// The first two flapwise modes (flap share above 1/2) and the first edgewise mode (the most
// edgewise of the lowest five), Hz (0 where the mesh has no such mode).
struct BladeModes {
  double flap1 = 0.0, flap2 = 0.0, edge1 = 0.0;
};
inline constexpr std::size_t kModalElements = 20;

// Radians in a turn, from the double pi: the modes' frequencies (Hz from rad/s) and the rotor's
// speeds (rpm from rad/s) turn with it.
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
BladeModes blade_modes(const ModalBeam& b, double omega, std::size_t elements = kModalElements);

}  // namespace loads
