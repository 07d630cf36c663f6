#include <QApplication>

#include "gui/window_program.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return tarnvex::RunWindowProgram(application);
}
