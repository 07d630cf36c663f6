#include <iostream>

#include "tools/pstgen/pstgen_cli.h"

int main(int argc, char** argv) {
  return tarnvex::pstwriter::RunPstgen({argv + 1, argv + argc}, std::cout, std::cerr);
}
