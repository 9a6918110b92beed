#pragma once

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/design.h"
#include "calc/designrequest.h"
#include "sim/verify.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QThread;

// "按目标频率选元件": the target frequency (and duty) in, a table of standard
// part combinations out. "填入" closes the dialog with the chosen row, which
// the main window then types into its boxes and calculates.
class DesignDialog : public QDialog {
    Q_OBJECT

public:
    DesignDialog(const calc::CatalogueEntry& circuit, QWidget* parent = nullptr);
    ~DesignDialog() override;

    // The texts for input 1 to input 4 of the row taken with "填入".
    const std::optional<calc::Inputs>& chosen() const { return chosen_; }
    // The rest of the circuit the chosen row's design picked, when it was taken
    // with "仿真": the scope window simulates it with these parts.
    const std::optional<std::vector<sim::PartValue>>& simulateWith() const { return simulateWith_; }
    // What the last search found (for the table and for tests).
    const calc::DesignResult& result() const { return result_; }
    // The simulated figure of each candidate, when "仿真验证" was on.
    const std::vector<sim::Check>& checks() const { return checks_; }
    // A search is running (off the GUI thread); its result replaces the table.
    bool searching() const { return searching_; }

signals:
    // The table and status show the newest search's result.
    void searched();

private:
    void createControls();
    QWidget* createForm();
    QWidget* createRangeRow(calc::Kind kind);
    void search();
    struct Found {
        calc::DesignResult result;
        sim::Verified verified;
    };
    void finishSearch(unsigned generation, const calc::DesignRequest& request, const Found& found);
    void fill();
    void simulateChosen();
    QStringList rowTexts(const calc::Candidate& c, const sim::Check* check = nullptr) const;
    void showRows(const std::vector<calc::Candidate>& rows);
    void widenToTable();
    void showResult();
    void say(const QString& text);
    std::optional<calc::DesignRequest> request();
    bool uses(calc::Kind kind) const;

    const calc::CatalogueEntry& circuit_;
    std::vector<calc::DesignInput> inputs_;
    std::vector<calc::CandidateColumn> columns_;
    const calc::DesignRules* rules_;

    QLineEdit* target_ = nullptr;
    QComboBox* targetUnit_ = nullptr;
    QLineEdit* duty_ = nullptr;
    std::array<QComboBox*, calc::kKinds> series_{};
    std::array<QLineEdit*, 4> fixed_{};
    std::array<std::array<QLineEdit*, 2>, calc::kKinds> range_{};
    std::array<QLineEdit*, calc::kKinds> tolerance_{};
    QSpinBox* top_ = nullptr;
    QCheckBox* closest_ = nullptr;
    QCheckBox* simulate_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QLabel* status_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* fillButton_ = nullptr;
    QPushButton* simulateButton_ = nullptr;

    calc::DesignRequest request_;
    calc::DesignResult result_;
    std::vector<sim::Check> checks_;
    std::optional<sim::Text> simulator_; // why the simulator could not run
    std::optional<calc::Inputs> chosen_;
    std::optional<std::vector<sim::PartValue>> simulateWith_;
    unsigned generation_ = 0; // of the newest search; an older one's result is dropped
    bool searching_ = false;
    QPointer<QThread> worker_; // the newest search's thread, while it runs
    // Set to stop the newest search's simulations (superseded, or closing).
    std::shared_ptr<std::atomic<bool>> cancel_;
};
