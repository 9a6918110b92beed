#pragma once

#include "calc/calculate.h"
#include "calc/catalogue.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class HelpView;
class QActionGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class ResultLabel;
class ScopeWindow;

// The program's only window. It holds no logic of its own: the load, the
// menu items and the "计算" button go to the calculation core (calc::select,
// calc::calculate), and the window applies what comes back: the input
// captions, the result lines, the page for the help view and at most one
// message box. The mode j, the application folder adress and the circuit
// each result line was calculated for are kept here between events because
// the core keeps nothing.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);

    calc::Mode j() const { return j_; }
    const QString& adress() const { return adress_; }

    // Types the texts into input 1 to input 4 and presses "计算", as the
    // design dialog's "填入" does.
    void fillInputs(const calc::Inputs& texts);

    // The "仿真波形" window while it is open, else nullptr.
    ScopeWindow* scopeWindow() const;

    // Size of the client area below the menu bar, in device-independent pixels.
    static constexpr QSize kClientSize{563, 404};

protected:
    // Ctrl+C in a box, on the button or in the view copies a result line's
    // selection when that is the last text the user selected.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createToolsMenu(); // in form1tools.cpp
    void openDesignDialog();
    void openScopeWindow(); // in form1tools.cpp
    void followScope();     // tells the open scope window the circuit and boxes
    calc::Inputs boxTexts() const;
    void setTabOrder();
    void makeAccessible(QLabel* image1, QLabel* heading);
    void createCopyRouting();

    void Form_Load();
    void select(const calc::CatalogueEntry& entry);
    void applySelection(const calc::Selection& selection);
    // The selection without its page: the view already shows it.
    void applyCaptionsAndMode(const calc::Selection& selection);
    void followPage(const QString& fileName);
    void Command1_Click();
    // Greys the result lines calculated for another circuit than the one shown.
    void markPreviousResults();
    // Checks the menu item of the circuit shown (the start-up state's is the
    // first circuit's), none for the help page.
    void markCircuitInUse();

    std::array<QLineEdit*, 4> inputs_{};    // Text2..Text5
    std::array<QLabel*, 4> captions_{};     // Label1..Label4
    std::array<ResultLabel*, 4> results_{}; // Label5..Label8
    QPushButton* command1_ = nullptr;
    HelpView* webBrowser1_ = nullptr;
    QActionGroup* circuits_ = nullptr; // the circuit menu's items

    QString adress_;
    calc::Mode j_ = 0;
    const calc::CatalogueEntry* circuit_ = &calc::kCatalogue.front(); // the one shown
    // The menu item of the circuit each result line was calculated for;
    // nullptr for a line that shows no result.
    std::array<const calc::CatalogueEntry*, 4> lineCircuits_{};
    ResultLabel* selectedLine_ = nullptr; // the last selection made was in it
    QPointer<ScopeWindow> scope_;         // deletes itself when closed
};
