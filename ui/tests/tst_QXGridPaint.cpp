// What a TQXDBGrid puts into its cells: the text rules under the grid's code
// page, which text reaches which cell, the raised frame of fixed cells, text
// placement and clipping, and that painting a huge dataset reads only the rows
// in view.
#include "tst_QXGridDataSet.h"

#include "data/db/DataSource.h"

#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

using db::Variant;
using gridtest::Column;
using gridtest::GridDataSet;
using gridtest::RecordingGrid;
using platform::AnsiString;
using platform::WideString;

Q_DECLARE_METATYPE(AnsiString)
Q_DECLARE_METATYPE(WideString)

namespace {

const AnsiString Big5Name = "\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9"; // four characters in Big5
const WideString Big5NameAs950 = u"\u65B0\u7D30\u660E\u9AD4";
const WideString Big5NameAs437 = u"\u2556s\u2593\u2559\u2310\u00B7\u253C\u0398";
const WideString MixedChinese = u"\u7E41\u9AD4\u7B80\u4F53"; // Traditional and Simplified

std::vector<Column> SampleColumns() {
    return {{"ID", db::ftInteger},
            {"Name", db::ftString, 30},
            {"City", db::ftWideString, 20},
            {"Notes", db::ftMemo}};
}

std::vector<std::vector<Variant>> SampleRows() {
    return {{Variant(1), Variant(Big5Name), Variant(MixedChinese), Variant("long text")},
            {Variant(12345), Variant("Ada"), Variant::null(), Variant::null()}};
}

/// A palette whose system colours are all different, so a pixel tells its role.
QPalette DistinctPalette() {
    QPalette p;
    p.setColor(QPalette::Button, QColor(200, 200, 200));
    p.setColor(QPalette::Light, QColor(255, 255, 255));
    p.setColor(QPalette::Dark, QColor(100, 100, 100));
    p.setColor(QPalette::Base, QColor(255, 255, 0));
    p.setColor(QPalette::Text, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, QColor(0, 0, 255));
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    return p;
}

QImage Canvas(QSize size, QColor fill) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

bool IsInk(QRgb pixel) {
    return qGray(pixel) < 128;
}

} // namespace

class tst_QXGridPaint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void byteText_data();
    void byteText();
    void wideText_data();
    void wideText();
    void fieldText_data();
    void fieldText();
    void cellsGetTitlesAndFieldTexts();
    void closedDataSetFillsEveryCell();
    void fixedCellFrame_data();
    void fixedCellFrame();
    void dataTextStartsTwoPixelsInAndIsClipped();
    void paintingReadsOnlyVisibleRows();
    void currentCellHighlight_data();
    void currentCellHighlight();
    void indicatorMarksCurrentRecord();
    void bothHooksFireForEachDataCell();
};

void tst_QXGridPaint::initTestCase() {
    // The start-up rule: the OEM code page of the system locale, read once.
    qputenv("VELKIN_SYSTEM_LOCALE", "zh_TW");
    QXGrid::InitGridUnit();
    QCOMPARE(QXGrid::GridCodePage(), platform::CodePage(950));
    QCOMPARE(QXGrid::GridAnsiOnly(), false);
    qputenv("VELKIN_SYSTEM_LOCALE", "en_US");
    QXGrid::InitGridUnit();
    QCOMPARE(QXGrid::GridCodePage(), platform::CodePage(950));
}

void tst_QXGridPaint::init() {
    QXGrid::SetGridUnitForTesting(950, false);
}

void tst_QXGridPaint::byteText_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<bool>("ansiOnly");
    QTest::addColumn<AnsiString>("bytes");
    QTest::addColumn<WideString>("shown");
    QTest::newRow("Big5 on a Traditional Chinese system")
        << 950 << false << Big5Name << Big5NameAs950;
    QTest::newRow("Big5 on a US system is cp437") << 437 << false << Big5Name << Big5NameAs437;
    QTest::newRow("plain ASCII") << 437 << false << AnsiString("Ada 42") << WideString(u"Ada 42");
    QTest::newRow("empty") << 950 << false << AnsiString() << WideString();
    QTest::newRow("lead byte without trail")
        << 950 << false << AnsiString("A\xB7") << WideString(u"A\uFFFD");
    // Without wide output the bytes go out as they are: ANSI code page 1252 here.
    QTest::newRow("ANSI-only system")
        << 950 << true << AnsiString("caf\xE9") << WideString(u"caf\u00E9");
}

void tst_QXGridPaint::byteText() {
    QFETCH(int, codePage);
    QFETCH(bool, ansiOnly);
    QFETCH(AnsiString, bytes);
    QFETCH(WideString, shown);
    QXGrid::SetGridUnitForTesting(static_cast<platform::CodePage>(codePage), ansiOnly);
    QCOMPARE(QString::fromStdU16String(QXGrid::AnsiCellText(bytes)),
             QString::fromStdU16String(shown));
}

void tst_QXGridPaint::wideText_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<bool>("ansiOnly");
    QTest::addColumn<WideString>("text");
    QTest::addColumn<WideString>("shown");
    QTest::newRow("both scripts on a US system") << 437 << false << MixedChinese << MixedChinese;
    QTest::newRow("both scripts on a Chinese system")
        << 950 << false << MixedChinese << MixedChinese;
    QTest::newRow("ANSI-only narrows with the ANSI code page")
        << 950 << true << WideString(u"\u00E9\u4E2D") << WideString(u"\u00E9?");
}

void tst_QXGridPaint::wideText() {
    QFETCH(int, codePage);
    QFETCH(bool, ansiOnly);
    QFETCH(WideString, text);
    QFETCH(WideString, shown);
    QXGrid::SetGridUnitForTesting(static_cast<platform::CodePage>(codePage), ansiOnly);
    QCOMPARE(QString::fromStdU16String(QXGrid::WideCellText(text)),
             QString::fromStdU16String(shown));
}

void tst_QXGridPaint::fieldText_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<WideString>("shown");
    QTest::newRow("narrow field, Big5 under 950") << 0 << "Name" << 950 << Big5NameAs950;
    QTest::newRow("narrow field, Big5 under 437") << 0 << "Name" << 437 << Big5NameAs437;
    QTest::newRow("wide field as it stands") << 0 << "City" << 437 << MixedChinese;
    QTest::newRow("number") << 1 << "ID" << 437 << WideString(u"12345");
    QTest::newRow("null wide field") << 1 << "City" << 950 << WideString();
    QTest::newRow("memo with a value") << 0 << "Notes" << 950 << WideString(u"(MEMO)");
    QTest::newRow("memo without a value") << 1 << "Notes" << 950 << WideString(u"(Memo)");
}

void tst_QXGridPaint::fieldText() {
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(int, codePage);
    QFETCH(WideString, shown);
    QXGrid::SetGridUnitForTesting(static_cast<platform::CodePage>(codePage), false);
    GridDataSet ds(SampleColumns(), SampleRows());
    ds.Open();
    ds.MoveBy(row);
    QCOMPARE(QString::fromStdU16String(QXGrid::CellText(ds.FieldByName(field.toStdString()))),
             QString::fromStdU16String(shown));
    QVERIFY(QXGrid::CellText(nullptr).empty());
}

void tst_QXGridPaint::cellsGetTitlesAndFieldTexts() {
    GridDataSet ds(SampleColumns(), SampleRows());
    ds.Open();
    ds.FieldByName("Name")->SetDisplayLabel("Full name");
    db::TDataSource source;
    source.SetDataSet(&ds);
    RecordingGrid grid;
    grid.resize(900, 200);
    grid.SetDataSource(&source);
    grid.Texts.clear();
    (void)grid.grab();

    auto count = [&](bool wide, const AnsiString& bytes, const WideString& chars) {
        int n = 0;
        for (const auto& t : grid.Texts)
            if (t.wide == wide && (wide ? t.chars == chars : t.bytes == bytes))
                ++n;
        return n;
    };
    // Titles: the display label, else the field name, written as byte text once.
    QCOMPARE(count(false, "ID", {}), 1);
    QCOMPARE(count(false, "Full name", {}), 1);
    QCOMPARE(count(false, "Name", {}), 0);
    QCOMPARE(count(false, "City", {}), 1);
    // Data cells: written once; wide fields through the wide path only.
    QCOMPARE(count(false, Big5Name, {}), 1);
    QCOMPARE(count(false, "12345", {}), 1);
    QCOMPARE(count(true, {}, MixedChinese), 1);
    QCOMPARE(count(false, "(MEMO)", {}), 1);
    QCOMPARE(count(false, "(Memo)", {}), 1);
    QCOMPARE(count(false, QXGrid::CellTextToBytes(MixedChinese), {}), 0);
    // Painting left the current record where it was.
    QCOMPARE(ds.CurrentIndex(), 0);
    QCOMPARE(ds.ActiveRecordIndex(), 0);
}

void tst_QXGridPaint::closedDataSetFillsEveryCell() {
    GridDataSet ds(SampleColumns(), SampleRows());
    db::TDataSource source;
    source.SetDataSet(&ds);
    RecordingGrid grid;
    grid.setPalette(DistinctPalette());
    grid.SetDataSource(&source);
    grid.resize(300, 120);
    grid.Texts.clear();
    (void)grid.grab();
    QVERIFY(!grid.Texts.empty());
    for (const auto& t : grid.Texts)
        QVERIFY(!t.wide && t.bytes.empty());
    QCOMPARE(ds.Reads, 0);

    const QRect cell(0, 0, 40, 18);
    const QColor face(200, 200, 200), base(255, 255, 0);
    struct Case {
        int col, row;
        unsigned state;
        QColor inside;
    };
    for (const Case& c :
         {Case{0, 0, TQXDBGrid::gdFixed, face}, Case{1, 0, TQXDBGrid::gdFixed, face},
          Case{0, 1, TQXDBGrid::gdFixed, face}, Case{1, 1, 0, base}}) {
        QImage image = Canvas(cell.size(), Qt::red);
        QPainter painter(&image);
        grid.PaintCell(painter, c.col, c.row, cell, c.state);
        painter.end();
        QCOMPARE(QColor(image.pixel(20, 9)), c.inside);
        if (c.state & TQXDBGrid::gdFixed)
            QCOMPARE(QColor(image.pixel(0, 0)), QColor(255, 255, 255));
    }
}

void tst_QXGridPaint::fixedCellFrame_data() {
    QTest::addColumn<bool>("ctl3D");
    QTest::addColumn<unsigned>("lines");
    QTest::addColumn<int>("right");  // last column of the frame
    QTest::addColumn<int>("bottom"); // last row of the frame
    const unsigned both = TQXDBGrid::dgColLines | TQXDBGrid::dgRowLines;
    QTest::newRow("default options") << true << both << 39 << 17;
    QTest::newRow("no column lines") << true << unsigned(TQXDBGrid::dgRowLines) << 38 << 17;
    QTest::newRow("no row lines") << true << unsigned(TQXDBGrid::dgColLines) << 39 << 16;
    QTest::newRow("no lines") << true << 0u << 38 << 16;
    QTest::newRow("flat") << false << both << -1 << -1;
}

void tst_QXGridPaint::fixedCellFrame() {
    QFETCH(bool, ctl3D);
    QFETCH(unsigned, lines);
    QFETCH(int, right);
    QFETCH(int, bottom);
    TQXDBGrid grid;
    grid.setPalette(DistinctPalette());
    grid.SetCtl3D(ctl3D);
    grid.SetOptions((TQXDBGrid::DefaultOptions & ~(TQXDBGrid::dgColLines | TQXDBGrid::dgRowLines)) |
                    lines);
    const QRect cell(10, 5, 40, 18); // right 49, bottom 22 inclusive
    QImage image = Canvas(QSize(60, 30), Qt::red);
    QPainter painter(&image);
    grid.PaintCell(painter, 1, 0, cell, TQXDBGrid::gdFixed);
    painter.end();

    const QColor face(200, 200, 200), light(255, 255, 255), shadow(100, 100, 100), black(Qt::black);
    auto at = [&](int x, int y) {
        return QColor(image.pixel(cell.left() + x, cell.top() + y));
    };
    // Nothing outside the cell.
    QCOMPARE(QColor(image.pixel(cell.left() - 1, cell.top() + 5)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(cell.right() + 1, cell.top() + 5)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(cell.left() + 5, cell.bottom() + 1)), QColor(Qt::red));
    QCOMPARE(at(20, 9), face);
    if (!ctl3D) {
        QCOMPARE(at(0, 0), face);
        QCOMPARE(at(39, 17), face);
        QCOMPARE(at(0, 17), face);
        return;
    }
    QCOMPARE(at(0, 0), light);
    QCOMPARE(at(right - 1, 0), light);
    QCOMPARE(at(0, bottom - 1), light);
    QCOMPARE(at(right, 0), shadow);
    QCOMPARE(at(right, bottom), shadow);
    QCOMPARE(at(0, bottom), shadow);
    QCOMPARE(at(right / 2, bottom), shadow);
    QCOMPARE(at(1, 1), face);
    QCOMPARE(at(39, 9), right == 39 ? shadow : black);
    QCOMPARE(at(20, 17), bottom == 17 ? shadow : black);
}

void tst_QXGridPaint::dataTextStartsTwoPixelsInAndIsClipped() {
    GridDataSet ds({{"Amount", db::ftInteger}, {"Text", db::ftString, 80}},
                   {{Variant(7), Variant(AnsiString(60, 'W'))}});
    ds.Open();
    db::TDataSource source;
    source.SetDataSet(&ds);
    TQXDBGrid grid;
    grid.setPalette(DistinctPalette());
    grid.SetDataSource(&source);

    const QRect cell(10, 10, 60, 20);
    for (int column : {1, 2}) {
        QImage image = Canvas(QSize(100, 50), Qt::red);
        QPainter painter(&image);
        grid.PaintCell(painter, column, 1, cell, 0);
        painter.end();
        int firstInkX = image.width(), firstInkY = image.height(), lastInkX = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (!cell.contains(x, y)) {
                    QVERIFY2(QColor(p) == QColor(Qt::red), "painted outside the cell");
                    continue;
                }
                if (IsInk(p)) {
                    firstInkX = std::min(firstInkX, x);
                    firstInkY = std::min(firstInkY, y);
                    lastInkX = std::max(lastInkX, x);
                }
            }
        QVERIFY(lastInkX >= 0);
        QVERIFY(firstInkX >= cell.left() + 2);
        QVERIFY(firstInkY >= cell.top() + 2);
        QCOMPARE(QColor(image.pixel(cell.left(), cell.top())), QColor(255, 255, 0));
        if (column == 1) // a number: left-aligned, not pushed to the right edge
            QVERIFY(lastInkX < cell.left() + cell.width() / 2);
        else // a long text runs to the edge and stops there
            QVERIFY(lastInkX >= cell.right() - 3);
    }
}

void tst_QXGridPaint::paintingReadsOnlyVisibleRows() {
    constexpr int Rows = 1000000;
    GridDataSet ds({{"N", db::ftInteger}, {"Label", db::ftString, 12}, {"W", db::ftWideString, 8}},
                   Rows, [](int row, int column) {
                       if (column == 0)
                           return Variant(row);
                       return column == 1 ? Variant("row " + std::to_string(row)) : Variant(u"w");
                   });
    ds.Open();
    db::TDataSource source;
    source.SetDataSet(&ds);
    TQXDBGrid grid;
    grid.resize(400, 300);
    grid.SetDataSource(&source);
    QCOMPARE(grid.model()->rowCount(), Rows);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    auto checkPaint = [&](int firstRow) {
        const int visible =
            grid.viewport()->height() / grid.verticalHeader()->defaultSectionSize() + 2;
        ds.ResetReads();
        grid.viewport()->repaint();
        QVERIFY(ds.Reads > 0);
        QVERIFY2(ds.Reads <= 3 * visible, qPrintable(QString::number(ds.Reads)));
        QVERIFY(*ds.RowsRead.begin() >= firstRow);
        QVERIFY(*ds.RowsRead.rbegin() < firstRow + visible);
    };
    checkPaint(0);
    grid.scrollTo(grid.model()->index(Rows / 2, 0), QAbstractItemView::PositionAtTop);
    checkPaint(Rows / 2);
    grid.scrollToBottom();
    checkPaint(Rows - grid.viewport()->height() / grid.verticalHeader()->defaultSectionSize() - 2);
    QCOMPARE(ds.CurrentIndex(), 0);
}

namespace {

/// A shown window: a line edit to take the focus away, and a grid over the sample rows.
struct ShownGrid {
    GridDataSet ds{SampleColumns(), SampleRows()};
    db::TDataSource source;
    QWidget window;
    QLineEdit* other = new QLineEdit(&window);
    TQXDBGrid* grid = new TQXDBGrid(&window);

    ShownGrid() {
        ds.Open();
        source.SetDataSet(&ds);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(other);
        layout->addWidget(grid);
        grid->setPalette(DistinctPalette());
        grid->SetDataSource(&source);
        window.resize(600, 200);
        window.show();
    }
    QRect CellRect(int row, int column) const {
        return grid->visualRect(grid->model()->index(row, column));
    }
};

} // namespace

void tst_QXGridPaint::currentCellHighlight_data() {
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("alwaysShow");
    QTest::addColumn<bool>("highlighted");
    QTest::newRow("focused grid") << true << false << true;
    QTest::newRow("grid without the focus") << false << false << false;
    QTest::newRow("without the focus, selection always shown") << false << true << true;
}

void tst_QXGridPaint::currentCellHighlight() {
    QFETCH(bool, focused);
    QFETCH(bool, alwaysShow);
    QFETCH(bool, highlighted);
    ShownGrid s;
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    if (alwaysShow)
        s.grid->SetOptions(s.grid->Options() | TQXDBGrid::dgAlwaysShowSelection);
    s.grid->setCurrentIndex(s.grid->model()->index(1, 1));
    (focused ? static_cast<QWidget*>(s.grid) : s.other)->setFocus();
    QCOMPARE(s.grid->hasFocus(), focused);
    const QImage image = s.grid->viewport()->grab().toImage();
    const QRect current = s.CellRect(1, 1);
    const QColor fill = highlighted ? QColor(0, 0, 255) : QColor(255, 255, 0);
    // The whole top row and left column of the cell are fill: no focus frame.
    for (int x = current.left(); x <= current.right(); ++x)
        QCOMPARE(QColor(image.pixel(x, current.top())), fill);
    for (int y = current.top(); y <= current.bottom(); ++y)
        QCOMPARE(QColor(image.pixel(current.left(), y)), fill);
    const QRect other = s.CellRect(0, 1);
    QCOMPARE(QColor(image.pixel(other.left(), other.top())), QColor(255, 255, 0));
}

void tst_QXGridPaint::indicatorMarksCurrentRecord() {
    ShownGrid s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.window));
    QHeaderView* indicator = s.grid->verticalHeader();
    auto section = [&](int row) {
        const QImage all = indicator->viewport()->grab().toImage();
        return all.copy(0, indicator->sectionViewportPosition(row), indicator->width(),
                        indicator->sectionSize(row));
    };
    auto inked = [](const QImage& image) {
        for (int y = 1; y < image.height() - 1; ++y)
            for (int x = 1; x < image.width() - 1; ++x)
                if (QColor(image.pixel(x, y)) == QColor(0, 0, 0))
                    return true;
        return false;
    };
    s.ds.Last();
    QVERIFY(inked(section(1)));
    QVERIFY(!inked(section(0)));
    const QImage browsing = section(1);
    s.ds.Edit();
    QVERIFY(inked(section(1)));
    QVERIFY(section(1) != browsing);
    s.ds.Cancel();
    QCOMPARE(section(1), browsing);
}

void tst_QXGridPaint::bothHooksFireForEachDataCell() {
    ShownGrid s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.window));
    std::vector<const db::TField*> dataHook;
    std::vector<int> columnHook;
    s.grid->OnDrawDataCell = [&](const QRect&, db::TField* f, unsigned) {
        dataHook.push_back(f);
    };
    s.grid->OnDrawColumnCell = [&](const QRect&, int col, const TQXDBGrid::TColumn& c, unsigned) {
        QCOMPARE(c.Field, s.ds.Fields()[col]);
        columnHook.push_back(col);
    };
    (void)s.grid->viewport()->grab();
    QCOMPARE(dataHook.size(), size_t(2 * 4));
    QCOMPARE(columnHook.size(), size_t(2 * 4));
}

QTEST_MAIN(tst_QXGridPaint)
#include "tst_QXGridPaint.moc"
