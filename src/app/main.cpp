#include "app/startup.h"

int main(int argc, char** argv) { return pakeno::RunProgram(argc, argv); }
