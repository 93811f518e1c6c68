#pragma once
// The second half of grid_paint: the stand-in's million-row table opened
// through TQXADODataSet with every conversion active (WorkAsAnsi on, system and
// user code pages differing) against the plain TTntADODataSetLX, alternately in
// the same run, best of several rounds each; then one screen of the grid
// repainted over the converting dataset while paging through it.
#include <cstdio>

namespace bench {

struct ConvertingOpenFigures {
    int rows = 0;
    double plainOpenMs = 0, plainOpenCpuMs = 0;
    double convertingOpenMs = 0, convertingOpenCpuMs = 0;
    double convertingRepaintMs = 0; ///< median over the pages
};

/// Sets the locales and starts data access; call before QApplication exists.
void PrepareConvertingOpen();

/// Starts the stand-in with the big seed and measures; throws on failure.
ConvertingOpenFigures MeasureConvertingOpen(int rounds);

} // namespace bench
