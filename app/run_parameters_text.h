#pragma once

#include <QString>

#include "core/storage/analysis_run_store.h"

namespace zk::app {

// The algorithm parameters a run was computed with as the user reads them, in the language of the call:
// each stored member under its panel label with its value and unit, joined by " · ". A member no panel
// row names keeps its key; text that is no JSON object is shown as stored.
QString runParametersText(const core::AnalysisRunParameters& parameters);

}  // namespace zk::app
