#include <QApplication>

#include "gui/window_program.h"
#include "platform/pst/pst_outlook.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  auto outlook = tarnvex::pst::MakePstOutlook({});
  return tarnvex::RunWindowProgram(application, *outlook);
}
