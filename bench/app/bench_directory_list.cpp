// Prints how long the main view's list takes for a directory of 100,000 rows: filling it
// (seven columns), select all, invert, finding the first selected row and a record, and
// clearing it, with a report list attached as in the program. Target: each well under a
// second, so a large device protocol directory stays usable.
#include "app/DirectoryList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <cstdio>
#include <functional>

namespace {

void Measure(const char* what, const std::function<void()>& step) {
    QElapsedTimer timer;
    timer.start();
    step();
    std::printf("%-44s %9.1f ms\n", what, timer.nsecsElapsed() / 1e6);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    CDirectoryList list;
    QTreeView view;
    view.setModel(&list);
    view.setSelectionModel(list.Selection());
    view.setUniformRowHeights(true);
    view.setRootIsDecorated(false);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.resize(800, 400);
    // "model" as second argument measures the list without a view.
    if (argc > 2 && QByteArray(argv[2]) == "model")
        view.setModel(nullptr);
    else
        view.show();
    std::printf("rows: %d\n", rows);

    Measure("fill (7 columns)", [&] {
        list.SetMode(ListMode::Report);
        for (int c = 0; c < 7; ++c)
            list.InsertColumn(c, QStringLiteral("Column %1").arg(c), 120);
        for (int i = 0; i < rows; ++i) {
            const int row = list.AppendItem(QStringLiteral("Device %1").arg(i), -1,
                                            {i, i + 1, i % 10 == 0 ? MakeItemColour(0, 0, 255) : 0, nullptr});
            for (int c = 1; c < 7; ++c)
                list.SetItemText(row, c, QStringLiteral("cell %1").arg(c));
        }
        app.processEvents();
    });
    Measure("select all", [&] {
        list.SelectAll();
        app.processEvents();
    });
    int first = -1;
    Measure("first selected row and count", [&] { first = list.FirstSelectedRow() + list.SelectedCount(); });
    Measure("invert (nothing left)", [&] {
        list.InvertSelection();
        app.processEvents();
    });
    Measure("select every other row", [&] {
        QList<int> every;
        for (int i = 0; i < rows; i += 2)
            every << i;
        list.ReplaceSelection(every);
        app.processEvents();
    });
    Measure("invert alternating rows", [&] {
        list.InvertSelection();
        app.processEvents();
    });
    Measure("first selected row and count", [&] { first = list.FirstSelectedRow() + list.SelectedCount(); });
    Measure("find the last record", [&] { first += list.FindRecord(rows); });
    Measure("clear", [&] {
        list.Clear();
        app.processEvents();
    });
    return first < 0 ? 1 : 0;
}
