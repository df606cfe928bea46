#include "applier/driver.h"

int main(int argc, char** argv) { vd::run_applier(argc, argv); }
