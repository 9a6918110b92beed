// A menu selection in the real window, up to the chosen page being laid out
// and painted in the view, as the user sees it.

#include "ui/application.h"
#include "ui/form1.h"
#include "ui/helpview.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

void selectAndPaint(QAction* action, HelpView* view) {
    action->trigger();
    // Grabbing the viewport lays the document out and paints it, pictures
    // included, as the first paint after a selection does.
    benchmark::DoNotOptimize(view->viewport()->grab());
}

// Alternates between two menu items so that every selection loads a new
// page; the same item twice reloads its page on every selection.
void BM_Selection(benchmark::State& state, const char* first, const char* second) {
    Form1 form;
    form.show();
    auto* a = form.findChild<QAction*>(QString::fromLatin1(first));
    auto* b = form.findChild<QAction*>(QString::fromLatin1(second));
    auto* view = form.findChild<HelpView*>(QStringLiteral("WebBrowser1"));
    if (a == nullptr || b == nullptr || view == nullptr) {
        state.SkipWithError("menu item or view not found");
        return;
    }
    bool flip = false;
    for (auto _ : state) {
        selectAndPaint(flip ? b : a, view);
        flip = !flip;
    }
}
BENCHMARK_CAPTURE(BM_Selection, rc4_lc4, "mnuRc4", "mnuLc4")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, rc1_help, "mnuRc1", "mnuHelp1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Selection, reselect_quartz1, "mnuQuartz1", "mnuQuartz1")
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    setUpApplication(app);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
