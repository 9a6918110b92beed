#pragma once

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/waveform.h"
#include "sim/simulate.h"

#include <QFutureWatcher>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class QComboBox;
class QPainter;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class ScopeView;
struct ScopePicture;

// "仿真波形…": the circuit and box values of the main window on a scope
// screen, the formula's ideal waveform at once and the simulated one when
// the run (off the GUI thread) ends, with the measured figures beside the
// formula's. The main window tells it of each "计算" and circuit change; a
// newer run cancels the older one, and so does closing the window.
class ScopeWindow : public QWidget {
    Q_OBJECT

public:
    explicit ScopeWindow(QWidget* parent = nullptr);
    ~ScopeWindow() override;

    // Shows `entry` with the box texts and starts its simulation.
    void follow(const calc::CatalogueEntry& entry, const calc::Inputs& boxes,
                std::vector<sim::PartValue> parts = {});
    // Stops the running simulation; its result, when it comes, is dropped.
    void cancelRun();

    bool running() const { return running_; }
    // The last run's result, when it ran to its end for the values shown.
    const sim::Simulation* simulation() const { return result_ ? &*result_ : nullptr; }
    // What the status line says (empty when all is well).
    QString status() const;
    ScopeView* view() const { return view_; }

    // Takes a finished simulation for the circuit and values shown.
    void showSimulation(const sim::Simulation& simulation);

    // The exports, each true when the file was written.
    bool savePicture(const QString& path) const; // .png or .svg by its suffix
    bool saveSamples(const QString& path) const; // CSV: time and the channels shown
    bool saveNetlist(const QString& path) const; // the netlist run, for ngspice -b
    // Inputs, the formula's results and the simulated figures as plain text.
    QString allText() const;
    // The lab report: one A4 page with the schematic, the inputs, the
    // formula's and the simulation's figures and the scope picture.
    bool saveReport(const QString& path) const; // PDF
    void paintReport(QPainter& painter, const QRectF& page) const;

signals:
    // A run ended and its result is shown (or it failed and says why).
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    QWidget* createRunRow();
    QWidget* createExportRow();
    void startRun();
    // The run's controls: the timer, the progress bar at `progress`, the cancel button.
    void setRunning(bool running, int progress);
    void showNothing(const QString& why);
    void refresh();
    ScopePicture arrange() const;
    void fillTable();
    QString modelLine() const;
    void printReport();
    void exportWith(const QString& title, const QString& filter,
                    bool (ScopeWindow::*save)(const QString&) const);

    const calc::CatalogueEntry* entry_ = nullptr; // the circuit's menu entry
    calc::Inputs boxes_;
    // The rest of the circuit where a design chose it; else the netlist's own.
    std::vector<sim::PartValue> parts_;
    std::optional<calc::FormulaTimes> formula_; // s, when the boxes compute
    QString exactLines_;                        // the main window's result lines
    std::optional<sim::Simulation> result_;
    QString status_;

    // The run under way: each has its own flag and progress, which its
    // thread holds as long as it needs them.
    bool running_ = false;
    unsigned generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancel_;
    std::shared_ptr<std::atomic<double>> progress_;
    QTimer progressTimer_;

    QLabel* heading_ = nullptr;
    ScopeView* view_ = nullptr;
    QComboBox* viewChoice_ = nullptr;
    QDoubleSpinBox* supply_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QLabel* readout_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* model_ = nullptr;
    QLineEdit* exact_ = nullptr;
    QList<QPushButton*> exports_;
};
