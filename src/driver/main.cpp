// rotorforge: wind-turbine rotor design by blade element momentum theory.
#include <iostream>

#include "driver/program.h"

int main() {
  std::ios::sync_with_stdio(false);
  return driver::run_program(std::cin, std::cout, std::cerr);
}
