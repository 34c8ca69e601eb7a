// Preloaded into XFOIL: the Fortran runtime calls this at start-up to switch on floating-point
// traps, with which the Debian build dies at its first angle once graphics are off. Doing
// nothing leaves the processor's default, non-trapping state.
extern "C" void _gfortran_set_fpe(int) {}
