// tarnvex-card-exporter.exe: a Windows program with no console; its start-up object is the main
// window.

#include "gui/window_program_win32.h"

int main() {
  return tarnvex::RunWindowProgram();
}
