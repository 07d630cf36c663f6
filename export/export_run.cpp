#include "export/export_run.h"

namespace tarnvex {

ExportSummary PushButton3_Click(ExportView&, const ExportServices&) { return {}; }

}  // namespace tarnvex
