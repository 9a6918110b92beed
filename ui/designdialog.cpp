#include "ui/designdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string utf8(const QString& text) {
    return text.trimmed().toStdString();
}

// The menu caption names the circuit; the start-up state is the Wien bridge.
QString circuitName(const calc::CatalogueEntry& circuit) {
    if (!circuit.menuCaption.empty()) {
        return qs(circuit.menuCaption);
    }
    for (const auto& entry : calc::kCatalogue) {
        if (entry.mode == circuit.mode && !entry.menuCaption.empty()) {
            return qs(entry.menuCaption);
        }
    }
    return {};
}

QString header(const calc::CandidateColumn& column) {
    switch (column.column) {
    case calc::Column::Part:
        return qs(column.input.name);
    case calc::Column::Standard:
        return QStringLiteral("标准电感");
    case calc::Column::Lines:
        return QStringLiteral("计算结果");
    case calc::Column::Error:
        return QStringLiteral("误差");
    case calc::Column::Band:
        return QStringLiteral("容差范围");
    case calc::Column::Duty:
        return QStringLiteral("T1/T");
    case calc::Column::Support:
        return QStringLiteral("其他元件");
    }
    return {};
}

QString kindName(std::size_t kind) {
    return qs(calc::kindName(static_cast<calc::Kind>(kind)));
}
constexpr std::array<const char*, calc::kKinds> kKindObjects{"resistor", "capacitor", "inductor"};

} // namespace

DesignDialog::DesignDialog(const calc::CatalogueEntry& circuit, QWidget* parent)
    : QDialog(parent), circuit_(circuit), inputs_(calc::designInputs(circuit)),
      columns_(calc::candidateColumns(circuit)), rules_(calc::designRules(circuit.mode)) {
    setObjectName(QStringLiteral("DesignDialog"));
    // No dash: Qt adds the program's name after one of its own, and that
    // dash differs between desktops.
    setWindowTitle(QStringLiteral("按目标频率选元件：") + circuitName(circuit));
    createControls();
    // The table starts as wide as the answers for targets across the circuit's
    // usual band need, as the view measures them (each search takes well
    // under a millisecond): the dialog then seldom changes its width under
    // the pointer when it shows results.
    if (rules_) {
        calc::DesignRequest typical;
        constexpr int kSamples = 7;
        std::vector<calc::Candidate> samples;
        for (int i = 0; i < kSamples; ++i) {
            typical.targetHz = rules_->band.low *
                               std::pow(rules_->band.high / rules_->band.low, (i + 0.5) / kSamples);
            const auto found = calc::design(circuit_, typical).candidates;
            samples.insert(samples.end(), found.begin(), found.end());
        }
        showRows(samples);
        widenToTable();
        showRows({});
    }
    target_->setFocus();
}

// A search still running finishes first: it reads the catalogue and writes
// only its own result.
DesignDialog::~DesignDialog() {
    if (cancel_) {
        *cancel_ = true;
    }
    if (worker_) {
        worker_->wait();
    }
}

bool DesignDialog::uses(calc::Kind kind) const {
    return std::any_of(inputs_.begin(), inputs_.end(),
                       [kind](const calc::DesignInput& in) { return in.kind == kind; });
}

void DesignDialog::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createForm());

    auto* rules = new QLabel(this);
    rules->setObjectName(QStringLiteral("rulesLabel"));
    rules->setTextFormat(Qt::PlainText);
    rules->setWordWrap(true);
    rules->setAccessibleName(QStringLiteral("设计规则"));
    if (rules_ && !inputs_.empty()) {
        QStringList lines;
        for (const std::string& line : calc::rulesText(*rules_)) {
            lines << qs(line);
        }
        rules->setText(
            QStringLiteral("设计规则：") + lines.join(QStringLiteral("；")) +
            QStringLiteral("。误差在 1% 以内的组合中，元件值种类少、数值居中的排在前面。"));
    }
    layout->addWidget(rules);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    // Typed text is echoed in messages: never read it as markup.
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    // A long message wraps instead of widening the dialog.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    status_->setAccessibleName(QStringLiteral("查找结果说明"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(status_);

    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("candidateTable"));
    table_->setAccessibleName(QStringLiteral("候选组合"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setTabKeyNavigation(false); // Tab leaves the table, arrows move in it
    table_->verticalHeader()->setVisible(false);
    // The table asks for the width of all its columns (see showRows).
    table_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    QStringList headers;
    for (const calc::CandidateColumn& column : columns_) {
        headers << header(column);
    }
    headers << QStringLiteral("仿真");
    table_->setColumnCount(static_cast<int>(headers.size()));
    table_->setHorizontalHeaderLabels(headers);
    table_->setMinimumSize(720, 190);
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    fillButton_ = new QPushButton(QStringLiteral("填入(&T)"), this);
    fillButton_->setObjectName(QStringLiteral("fillButton"));
    fillButton_->setAccessibleName(QStringLiteral("填入"));
    fillButton_->setAccessibleDescription(QStringLiteral("把选中的组合填入主窗口的输入框并计算"));
    fillButton_->setEnabled(false);
    simulateButton_ = new QPushButton(QStringLiteral("仿真(&M)"), this);
    simulateButton_->setObjectName(QStringLiteral("simulateButton"));
    simulateButton_->setAccessibleName(QStringLiteral("仿真"));
    simulateButton_->setAccessibleDescription(
        QStringLiteral("把选中的组合填入主窗口，并在仿真波形窗口中看它的整个电路运行"));
    simulateButton_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAccessibleName(QStringLiteral("关闭"));
    buttons->addStretch();
    buttons->addWidget(fillButton_);
    buttons->addWidget(simulateButton_);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(searchButton_, &QPushButton::clicked, this, &DesignDialog::search);
    connect(fillButton_, &QPushButton::clicked, this, &DesignDialog::fill);
    connect(simulateButton_, &QPushButton::clicked, this, &DesignDialog::simulateChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        const bool any = !table_->selectedItems().isEmpty();
        fillButton_->setEnabled(any);
        simulateButton_->setEnabled(any);
    });
    // Enter or a double click on a row fills it in; Enter anywhere else searches.
    connect(table_, &QTableWidget::activated, this, &DesignDialog::fill);
    searchButton_->setDefault(true);

    if (inputs_.empty()) {
        say(QStringLiteral("这个电路不用计算，没有可选的元件。"));
        searchButton_->setEnabled(false);
    } else {
        say(QStringLiteral("输入目标频率，按“查找”。数值可带单位，如 1kHz、4.7k、10nF。"));
    }
}

QWidget* DesignDialog::createForm() {
    auto* form = new QWidget(this);
    auto* grid = new QFormLayout(form);
    // A caption with its field; `control` (the field itself unless given)
    // takes the caption's keyboard shortcut and the accessible name.
    const auto row = [&](const QString& caption, QWidget* field, const QString& accessible,
                         QWidget* control = nullptr) {
        control = control ? control : field;
        auto* label = new QLabel(caption, form);
        label->setBuddy(control);
        control->setAccessibleName(accessible);
        grid->addRow(label, field);
    };
    const auto edit = [&](QWidget* parent, const char* name, const QString& placeholder) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setPlaceholderText(placeholder);
        return e;
    };

    auto* targetRow = new QWidget(form);
    auto* targetLayout = new QHBoxLayout(targetRow);
    targetLayout->setContentsMargins(0, 0, 0, 0);
    target_ = edit(targetRow, "targetEdit", QStringLiteral("例如 1、455k、10.7MHz"));
    targetUnit_ = new QComboBox(targetRow);
    targetUnit_->setObjectName(QStringLiteral("targetUnit"));
    targetUnit_->addItems({QStringLiteral("Hz"), QStringLiteral("kHz"), QStringLiteral("MHz")});
    // A bare number is in the unit of the circuit's f line.
    targetUnit_->setCurrentIndex(1);
    if (const calc::ModeTraits* traits = calc::modeTraits(circuit_.mode);
        traits && traits->design) {
        targetUnit_->setCurrentText(qs(traits->frequencyUnit));
    }
    targetUnit_->setAccessibleName(QStringLiteral("目标频率的单位（数后不带单位时）"));
    targetLayout->addWidget(target_, 1);
    targetLayout->addWidget(targetUnit_);
    row(QStringLiteral("目标频率(&F)："), targetRow, QStringLiteral("目标频率"), target_);

    if (rules_ && rules_->duty) {
        duty_ = edit(form, "dutyEdit",
                     QStringLiteral("可空（按设计规则）；例如 0.6 或 60%") +
                         (rules_->minDuty > 0 ? QStringLiteral("，不能小于 0.5") : QString()));
        row(QStringLiteral("占空比 T1/T(&D)："), duty_, QStringLiteral("占空比 T1/T"));
    }

    const char* seriesCaptions[] = {"电阻系列(&R)：", "电容系列(&C)：", "标准电感系列(&L)："};
    for (std::size_t k = 0; k < calc::kKinds; ++k) {
        if (!uses(static_cast<calc::Kind>(k))) {
            continue;
        }
        auto* box = new QComboBox(form);
        for (const calc::Series s : calc::kAllSeries) {
            box->addItem(qs(calc::seriesName(s)));
        }
        box->setCurrentText(qs(calc::seriesName(calc::DesignRequest{}.parts[k].series)));
        box->setObjectName(QString::fromLatin1(kKindObjects[k]) + QStringLiteral("Series"));
        const QString caption = QString::fromUtf8(seriesCaptions[k]);
        row(caption, box, caption.left(caption.indexOf(QLatin1Char('('))));
        series_[k] = box;
    }

    for (const calc::DesignInput& in : inputs_) {
        const QString name = qs(in.name) + QStringLiteral(" (") + qs(in.unit) + QStringLiteral(")");
        const char* examples[] = {"空着：自动选；可写 10、4.7k、1M",
                                  "空着：自动选；可写 0.01、10n、4.7nF",
                                  "空着：按算出的值绕制；可写 0.1、100u、2.2mH"};
        fixed_[in.box] = edit(form, qPrintable(QStringLiteral("fixed%1").arg(in.box)),
                              QString::fromUtf8(examples[static_cast<std::size_t>(in.kind)]));
        row(QStringLiteral("固定 ") + name + QStringLiteral("："), fixed_[in.box],
            QStringLiteral("固定 ") + name);
    }

    for (std::size_t k = 0; k < calc::kKinds; ++k) {
        if (uses(static_cast<calc::Kind>(k))) {
            row(kindName(k) + QStringLiteral("范围："), createRangeRow(static_cast<calc::Kind>(k)),
                kindName(k) + QStringLiteral("范围的下限"), range_[k][0]);
        }
    }

    auto* tolRow = new QWidget(form);
    auto* tolLayout = new QHBoxLayout(tolRow);
    tolLayout->setContentsMargins(0, 0, 0, 0);
    for (std::size_t k = 0; k < calc::kKinds; ++k) {
        if (!uses(static_cast<calc::Kind>(k))) {
            continue;
        }
        auto* box = edit(tolRow, "", QStringLiteral("按系列"));
        box->setObjectName(QString::fromLatin1(kKindObjects[k]) + QStringLiteral("Tolerance"));
        box->setAccessibleName(kindName(k) + QStringLiteral("容差（%）"));
        box->setMaximumWidth(70);
        auto* label =
            new QLabel(QString(QLatin1Char(calc::kindLetter(static_cast<calc::Kind>(k)))), tolRow);
        label->setBuddy(box);
        tolLayout->addWidget(label);
        tolLayout->addWidget(box);
        tolLayout->addWidget(new QLabel(QStringLiteral("%"), tolRow));
        tolerance_[k] = box;
    }
    tolLayout->addStretch();
    grid->addRow(new QLabel(QStringLiteral("容差："), form), tolRow);

    auto* topRow = new QWidget(form);
    auto* topLayout = new QHBoxLayout(topRow);
    topLayout->setContentsMargins(0, 0, 0, 0);
    top_ = new QSpinBox(topRow);
    top_->setObjectName(QStringLiteral("topSpin"));
    top_->setRange(1, 20);
    top_->setValue(5);
    closest_ = new QCheckBox(QStringLiteral("只按误差排序(&E)"), topRow);
    closest_->setObjectName(QStringLiteral("closestCheck"));
    closest_->setAccessibleName(QStringLiteral("只按误差排序"));
    topLayout->addWidget(top_);
    topLayout->addWidget(closest_);
    // Each combination run in ngspice as the page's whole circuit: a second
    // or two for five.
    simulate_ = new QCheckBox(QStringLiteral("仿真验证(&V)"), topRow);
    simulate_->setObjectName(QStringLiteral("simulateCheck"));
    simulate_->setAccessibleName(QStringLiteral("仿真验证"));
    simulate_->setToolTip(QStringLiteral("用 ngspice 仿真每一组：第一行换成仿真频率与目标相差 5% "
                                         "以内、排在最前的一组"));
    simulate_->setEnabled(sim::hasNetlist(circuit_.id));
    topLayout->addWidget(simulate_);
    topLayout->addStretch();
    row(QStringLiteral("列出组合数(&N)："), topRow, QStringLiteral("列出组合数"), top_);

    searchButton_ = new QPushButton(QStringLiteral("查找(&S)"), form);
    searchButton_->setObjectName(QStringLiteral("searchButton"));
    searchButton_->setAccessibleName(QStringLiteral("查找"));
    grid->addRow(QString(), searchButton_);
    return form;
}

// Two fields, low and high, whose placeholders show the rules' range.
QWidget* DesignDialog::createRangeRow(calc::Kind kind) {
    const auto k = static_cast<std::size_t>(kind);
    auto* w = new QWidget(this);
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    const calc::Span range = rules_->range[k];
    const double ends[] = {range.low, range.high};
    for (std::size_t end = 0; end < 2; ++end) {
        auto* e = new QLineEdit(w);
        e->setObjectName(QString::fromLatin1(kKindObjects[k]) +
                         (end ? QStringLiteral("RangeHigh") : QStringLiteral("RangeLow")));
        e->setPlaceholderText(qs(calc::engineeringText(ends[end], calc::unitSymbol(kind), 6, " ")));
        e->setAccessibleName(kindName(k) +
                             (end ? QStringLiteral("范围的上限") : QStringLiteral("范围的下限")));
        range_[k][end] = e;
        layout->addWidget(e, 1);
        if (end == 0) {
            layout->addWidget(new QLabel(QStringLiteral("～"), w));
        }
    }
    return w;
}

void DesignDialog::say(const QString& text) {
    status_->setText(text);
}

std::optional<calc::DesignRequest> DesignDialog::request() {
    calc::DesignRequest r;
    const double scale[] = {1.0, 1e3, 1e6};
    // Field by field as osccalc reads them; a blank field is left to the rules.
    std::optional<calc::Problem> problem =
        calc::setTarget(r, utf8(target_->text()), scale[targetUnit_->currentIndex()]);
    if (!problem && duty_ && !utf8(duty_->text()).empty()) {
        problem = calc::setDuty(r, utf8(duty_->text()));
    }
    for (std::size_t k = 0; k < calc::kKinds && !problem; ++k) {
        const auto kind = static_cast<calc::Kind>(k);
        if (series_[k]) {
            r.parts[k].series =
                calc::seriesFromName(utf8(series_[k]->currentText())).value_or(r.parts[k].series);
        }
        if (tolerance_[k] && !utf8(tolerance_[k]->text()).empty()) {
            problem = calc::setTolerance(r, kind, utf8(tolerance_[k]->text()));
        }
    }
    for (const calc::DesignInput& in : inputs_) {
        if (!problem && !utf8(fixed_[in.box]->text()).empty()) {
            problem = calc::setFixed(r, in, utf8(fixed_[in.box]->text()));
        }
    }
    for (std::size_t k = 0; k < calc::kKinds && !problem; ++k) {
        const std::string low = range_[k][0] ? utf8(range_[k][0]->text()) : "";
        const std::string high = range_[k][1] ? utf8(range_[k][1]->text()) : "";
        if (!low.empty() || !high.empty()) {
            problem = calc::setRange(r, *calc::inputOfKind(inputs_, static_cast<calc::Kind>(k)),
                                     low, high, rules_->range[k]);
        }
    }
    if (problem) {
        // What the core cannot read it words itself, as osccalc does.
        say(qs(calc::describe(*problem, calc::Language::Chinese)));
        return std::nullopt;
    }
    r.top = static_cast<std::size_t>(top_->value());
    r.closest = closest_->isChecked();
    return r;
}

// The search runs on a thread of its own: with fine series and wide ranges
// it can take longer than a window may stay unresponsive. A new search
// supersedes a running one, whose result is then dropped.
void DesignDialog::search() {
    const unsigned generation = ++generation_;
    const auto r = request();
    if (!r) {
        searching_ = false;
        result_ = {};
        showResult();
        status_->setFocus();
        emit searched();
        return;
    }
    searching_ = true;
    say(QStringLiteral("正在查找…"));
    const calc::CatalogueEntry* circuit = &circuit_;
    const auto found = std::make_shared<Found>();
    const calc::DesignRequest request = *r;
    const bool simulate = simulate_->isChecked();
    if (cancel_) {
        *cancel_ = true;
    }
    const auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancel;
    QThread* worker = QThread::create([circuit, request, found, simulate, cancel] {
        found->result = calc::design(*circuit, request);
        if (simulate && !found->result.candidates.empty()) {
            sim::RunControl control;
            control.cancel = cancel.get();
            found->verified = sim::verifyDesign(*circuit, request, found->result, control);
        }
    });
    connect(worker, &QThread::finished, this,
            [this, generation, request, found] { finishSearch(generation, request, *found); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker_ = worker;
    worker->start();
}

void DesignDialog::finishSearch(unsigned generation, const calc::DesignRequest& request,
                                const Found& found) {
    if (generation != generation_) {
        return;
    }
    searching_ = false;
    request_ = request;
    result_ = found.result;
    checks_ = found.verified.checks;
    simulator_ = found.verified.unavailable;
    showResult();
    emit searched();
}

// The texts of a candidate's row, column by column.
QStringList DesignDialog::rowTexts(const calc::Candidate& c, const sim::Check* check) const {
    QStringList cells;
    for (const calc::CandidateColumn& column : columns_) {
        cells << qs(calc::cellText(column, c, circuit_.mode));
    }
    // The simulated figure, where the search ran the simulator.
    QString simulated;
    if (check) {
        simulated =
            !check->ran() ? QStringLiteral("—")
            : !check->starts()
                ? QStringLiteral("不起振")
                : qs(calc::hzText(check->frequencyHz)) + QStringLiteral(" (") +
                      qs(calc::errorText((check->frequencyHz / request_.targetHz - 1) * 100)) +
                      (check->settled ? QStringLiteral(") 起振")
                                      : QStringLiteral(") 起振，未稳定"));
    }
    cells << simulated;
    return cells;
}

void DesignDialog::showRows(const std::vector<calc::Candidate>& rows) {
    // Empty, the headers share the width; with rows, each column fits its texts.
    table_->horizontalHeader()->setSectionResizeMode(rows.empty() ? QHeaderView::Stretch
                                                                  : QHeaderView::ResizeToContents);
    table_->clearContents();
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        const QStringList cells =
            rowTexts(rows[at], at < checks_.size() && !simulator_ ? &checks_[at] : nullptr);
        for (int column = 0; column < cells.size(); ++column) {
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
}

// Widens the table to show every column of its rows, never narrows it: a
// dialog that changes its width at each search moves under the pointer.
void DesignDialog::widenToTable() {
    if (table_->rowCount() == 0) {
        return; // the headers only stretch to the width there is
    }
    // Room for the scroll bar of a long list, whether or not it shows now.
    const QScrollBar* bar = table_->verticalScrollBar();
    const int width = table_->sizeHint().width() + (bar->isVisible() ? 0 : bar->sizeHint().width());
    if (width > table_->minimumWidth()) {
        table_->setMinimumWidth(width);
    }
}

void DesignDialog::showResult() {
    showRows(result_.candidates);
    widenToTable();
    if (result_.candidates.empty()) {
        if (!result_.reason.empty()) {
            say(qs(result_.reason));
        }
        fillButton_->setEnabled(false);
        simulateButton_->setEnabled(false);
        return;
    }
    const bool wound = result_.candidates.front().coil.has_value();
    QString text = QStringLiteral("找到 %1 个组合。").arg(result_.candidates.size()) +
                   (!request_.closest ? QStringLiteral("合乎规则、误差够小的排在前面。")
                    : wound ? QStringLiteral("线圈按值绕制，误差只来自线圈值取三位数字的舍入："
                                             "从排在前面的 %1 组中按误差从小到大排列。")
                                  .arg(calc::kWoundClosestPool)
                            : QStringLiteral("按频率误差从小到大排列。")) +
                   QStringLiteral("误差只是与标准值的差距，公式本身和元件容差的影响大得多。"
                                  "选中一行，按“填入”。");
    for (const std::string& warning :
         calc::warningsText(result_, request_.targetHz, calc::Language::Chinese)) {
        text += QStringLiteral("\n注意：") + qs(warning);
    }
    if (simulator_) {
        text += QStringLiteral("\n注意：") + qs(simulator_->chinese);
    } else if (!checks_.empty()) {
        text += QStringLiteral("\n“仿真”一栏是把每一组当作页面上的整个电路仿真得到的频率；"
                               "第一行是与目标相差 5% 以内、排在最前的一组。");
    }
    say(text);
    table_->selectRow(0);
    table_->setFocus();
}

void DesignDialog::fill() {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(result_.candidates.size())) {
        return;
    }
    chosen_ = result_.candidates[static_cast<std::size_t>(row)].inputs;
    accept();
}

void DesignDialog::simulateChosen() {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(result_.candidates.size())) {
        return;
    }
    simulateWith_ = sim::netlistParts(result_.candidates[static_cast<std::size_t>(row)]);
    fill();
}
