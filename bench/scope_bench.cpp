// From "计算" in the main window to the simulated trace on the scope
// window's screen, for each computing circuit at its page's first worked
// example: the window driven as a user drives it, offscreen.

#include "ui/application.h"
#include "ui/form1.h"
#include "ui/scopeview.h"
#include "ui/scopewindow.h"

#include "calc/catalogue.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_CalculateToTrace(benchmark::State& state, const char* id, calc::Inputs boxes) {
    Form1 form;
    form.show();
    const calc::CatalogueEntry* entry = calc::entryForId(id);
    form.findChild<QAction*>(QString::fromUtf8(entry->menuItem.data(), entry->menuItem.size()))
        ->trigger();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        form.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 2))
            ->setText(QString::fromStdString(boxes[i]));
    }
    form.findChild<QAction*>(QStringLiteral("mnuScope"))->trigger();
    ScopeWindow* scope = form.scopeWindow();
    auto* calculate = form.findChild<QPushButton*>(QStringLiteral("Command1"));
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(scope, &ScopeWindow::runFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        calculate->click();
        loop.exec();
        // The trace as the user sees it: the screen painted once.
        benchmark::DoNotOptimize(scope->view()->grab());
    }
    if (!scope->simulation()) {
        state.SkipWithError(scope->status().toStdString().c_str());
    }
}

BENCHMARK_CAPTURE(BM_CalculateToTrace, rc1, "rc1", {"16", "0.01", "", ""});
BENCHMARK_CAPTURE(BM_CalculateToTrace, rc2, "rc2", {"47", "22", "10", "10"});
BENCHMARK_CAPTURE(BM_CalculateToTrace, rc3, "rc3", {"100", "0.01", "", ""});
BENCHMARK_CAPTURE(BM_CalculateToTrace, rc4, "rc4", {"10", "10", "1", ""});
BENCHMARK_CAPTURE(BM_CalculateToTrace, lc1, "lc1", {"10", "0.1", "", ""});
BENCHMARK_CAPTURE(BM_CalculateToTrace, lc2, "lc2", {"1", "0.001", "", ""});
BENCHMARK_CAPTURE(BM_CalculateToTrace, lc3, "lc3", {"0.1", "0.0001", "", ""});
BENCHMARK_CAPTURE(BM_CalculateToTrace, lc4, "lc4", {"10", "0", "100", "400"});

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setUpApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
