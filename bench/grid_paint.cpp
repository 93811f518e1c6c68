// grid_paint: how fast the data grid paints a page of a million-row dataset.
//
// Needs no server: the rows are made from their index on demand, so only what
// the grid reads costs anything. Shows the grid offscreen, measures the first
// paint, then pages through the dataset repainting each page. The baseline is
// the same number of clipped text draws per page straight into an image of the
// same size, measured in the same run. Prints first_paint_ms,
// median_repaint_ms, baseline_text_draw_ms and ratio_repaint_to_baseline.
//
// Then the stand-in's million-row table (big seed) is opened through
// TQXADODataSet with every conversion active and through the plain
// TTntADODataSetLX, best of several rounds each, and a screen of the grid is
// repainted over the converting dataset. Prints the open times (wall and client
// CPU), converting_repaint_ms and, last, ratio_converting_open_to_plain.
#include "bench/ConvertingOpen.h"
#include "data/db/DataSet.h"
#include "data/db/DataSource.h"
#include "ui/QXGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rows = 1000000;
constexpr int Pages = 60;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

/// A read-only dataset of generated rows: number, narrow text, wide text, amount.
class GeneratedDataSet : public db::TDataSet {
public:
    ~GeneratedDataSet() override { CloseForDestroy(); }

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        FieldDefs().Add("ID", db::ftInteger);
        FieldDefs().Add("Name", db::ftString, 30);
        FieldDefs().Add("City", db::ftWideString, 20);
        FieldDefs().Add("Amount", db::ftFloat);
    }
    void InternalClose() override {}
    int InternalRecordCount() const override { return Rows; }
    bool GetRecordValue(int row, db::TField& field, db::Variant& out) override {
        switch (field.FieldNo()) {
        case 1:
            out = db::Variant(row);
            break;
        case 2:
            out = db::Variant("name \xA4\xA4 " + std::to_string(row));
            break;
        case 3:
            out = db::Variant(u"\u7E41\u9AD4 city");
            break;
        default:
            out = db::Variant(row * 0.25);
        }
        return true;
    }
    int InternalPost() override { throw std::runtime_error("read-only"); }
    void InternalDelete() override { throw std::runtime_error("read-only"); }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::PrepareConvertingOpen();
    QApplication app(argc, argv);
    QXGrid::SetGridUnitForTesting(950, false);

    GeneratedDataSet ds;
    ds.Open();
    db::TDataSource source;
    source.SetDataSet(&ds);
    TQXDBGrid grid;
    grid.resize(1000, 700);
    grid.SetDataSource(&source);
    grid.show();
    // Rendering into an image paints exactly what a repaint of the shown grid would.
    QImage screen(grid.size(), QImage::Format_RGB32);

    auto start = Clock::now();
    grid.render(&screen);
    const double firstPaint = MillisecondsSince(start);

    QScrollBar* bar = grid.verticalScrollBar();
    const int rowHeight = grid.verticalHeader()->defaultSectionSize();
    const int pageRows = grid.viewport()->height() / rowHeight + 1;
    std::vector<double> repaints;
    for (int page = 0; page < Pages; ++page) {
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * page / Pages));
        start = Clock::now();
        grid.render(&screen);
        repaints.push_back(MillisecondsSince(start));
    }

    // The same cells, each one clipped text draw on a filled rectangle.
    const int columns = grid.ColumnCount();
    QImage image(grid.viewport()->size(), QImage::Format_RGB32);
    std::vector<double> baselines;
    for (int page = 0; page < Pages; ++page) {
        start = Clock::now();
        QPainter painter(&image);
        painter.setFont(grid.font());
        for (int r = 0; r < pageRows; ++r)
            for (int c = 0; c < columns; ++c) {
                const QRect cell(c * 120, r * rowHeight, 119, rowHeight - 1);
                painter.save();
                painter.setClipRect(cell);
                painter.fillRect(cell, Qt::white);
                painter.drawText(cell.left() + 2, cell.top() + 2 + painter.fontMetrics().ascent(),
                                 QString::number(page * pageRows + r) + QStringLiteral(" cell"));
                painter.restore();
            }
        painter.end();
        baselines.push_back(MillisecondsSince(start));
    }

    const double repaint = Median(repaints);
    const double baseline = Median(baselines);
    std::printf("rows: %d\n", Rows);
    std::printf("visible_rows: %d\n", pageRows);
    std::printf("first_paint_ms: %.3f\n", firstPaint);
    std::printf("median_repaint_ms: %.3f\n", repaint);
    std::printf("baseline_text_draw_ms: %.3f\n", baseline);
    std::printf("ratio_repaint_to_baseline: %.3f\n", baseline > 0 ? repaint / baseline : 0.0);
    std::fflush(stdout);

    try {
        const bench::ConvertingOpenFigures f = bench::MeasureConvertingOpen(3);
        std::printf("converting_rows: %d\n", f.rows);
        std::printf("plain_open_ms: %.1f\n", f.plainOpenMs);
        std::printf("plain_open_cpu_ms: %.1f\n", f.plainOpenCpuMs);
        std::printf("converting_open_ms: %.1f\n", f.convertingOpenMs);
        std::printf("converting_open_cpu_ms: %.1f\n", f.convertingOpenCpuMs);
        std::printf("converting_repaint_ms: %.3f\n", f.convertingRepaintMs);
        std::printf("ratio_converting_open_to_plain: %.3f\n",
                    f.plainOpenMs > 0 ? f.convertingOpenMs / f.plainOpenMs : 0.0);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "converting open: %s\n", error.what());
        return 1;
    }
    return 0;
}
