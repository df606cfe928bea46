#include "maker/driver.h"

int main(int argc, char** argv) { vd::run_maker(argc, argv); }
