// rotorforge: the console program. The run itself lives in driver::run_program.
int main() { return 0; }
