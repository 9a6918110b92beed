#include "ui/designdialog.h"

#include "calc/inputlimit.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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

QComboBox* seriesBox(calc::Series preset, QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (const calc::Series s : calc::kAllSeries) {
        box->addItem(qs(calc::seriesName(s)));
    }
    box->setCurrentText(qs(calc::seriesName(preset)));
    return box;
}

QDoubleSpinBox* toleranceBox(double preset, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0.0, 50.0);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" %"));
    box->setValue(preset);
    return box;
}

// A plain number typed in the dialog: "." as the point, whatever the desktop.
std::optional<double> number(QString text) {
    text = text.trimmed();
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

} // namespace

DesignDialog::DesignDialog(const calc::CatalogueEntry& circuit, QWidget* parent)
    : QDialog(parent), circuit_(circuit), inputs_(calc::designInputs(circuit)) {
    setObjectName(QStringLiteral("DesignDialog"));
    setWindowTitle(QStringLiteral("按目标频率选元件 — ") + circuitName(circuit));
    createControls();
    target_->setFocus();
}

void DesignDialog::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createForm());

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));
    status_->setWordWrap(true);
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
    table_->horizontalHeader()->setStretchLastSection(true);
    QStringList headers;
    for (const calc::DesignInput& in : inputs_) {
        headers << qs(in.name) + QStringLiteral(" (") + qs(in.unit) + QStringLiteral(")");
    }
    headers << QStringLiteral("计算结果") << QStringLiteral("误差") << QStringLiteral("容差范围");
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
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAccessibleName(QStringLiteral("关闭"));
    buttons->addStretch();
    buttons->addWidget(fillButton_);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(searchButton_, &QPushButton::clicked, this, &DesignDialog::search);
    connect(fillButton_, &QPushButton::clicked, this, &DesignDialog::fill);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemSelectionChanged, this,
            [this] { fillButton_->setEnabled(!table_->selectedItems().isEmpty()); });
    // Enter or a double click on a row fills it in; Enter anywhere else searches.
    connect(table_, &QTableWidget::activated, this, &DesignDialog::fill);
    searchButton_->setDefault(true);

    if (inputs_.empty()) {
        status_->setText(QStringLiteral("这个电路不用计算，没有可选的元件。"));
        searchButton_->setEnabled(false);
    } else {
        status_->setText(QStringLiteral("输入目标频率，按“查找”。"));
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

    auto* targetRow = new QWidget(form);
    auto* targetLayout = new QHBoxLayout(targetRow);
    targetLayout->setContentsMargins(0, 0, 0, 0);
    target_ = new QLineEdit(targetRow);
    target_->setObjectName(QStringLiteral("targetEdit"));
    target_->setPlaceholderText(QStringLiteral("例如 1"));
    targetUnit_ = new QComboBox(targetRow);
    targetUnit_->setObjectName(QStringLiteral("targetUnit"));
    targetUnit_->addItems({QStringLiteral("Hz"), QStringLiteral("kHz"), QStringLiteral("MHz")});
    targetUnit_->setCurrentIndex(circuit_.mode == 6 ? 2 : 1);
    targetUnit_->setAccessibleName(QStringLiteral("目标频率的单位"));
    targetLayout->addWidget(target_, 1);
    targetLayout->addWidget(targetUnit_);
    row(QStringLiteral("目标频率(&F)："), targetRow, QStringLiteral("目标频率"), target_);

    if (circuit_.mode == 2 || circuit_.mode == 4) {
        duty_ = new QLineEdit(form);
        duty_->setObjectName(QStringLiteral("dutyEdit"));
        duty_->setPlaceholderText(circuit_.mode == 4 ? QStringLiteral("可空；NE555 只能大于 0.5")
                                                     : QStringLiteral("可空；例如 0.5"));
        row(QStringLiteral("占空比 T1/T(&D)："), duty_, QStringLiteral("占空比 T1/T"));
    }

    const auto uses = [this](calc::Kind kind) {
        return std::any_of(inputs_.begin(), inputs_.end(),
                           [kind](const calc::DesignInput& in) { return in.kind == kind; });
    };
    if (uses(calc::Kind::Resistor)) {
        resistorSeries_ = seriesBox(calc::kDefaultResistorSeries, form);
        resistorSeries_->setObjectName(QStringLiteral("resistorSeries"));
        row(QStringLiteral("电阻系列(&R)："), resistorSeries_, QStringLiteral("电阻系列"));
    }
    if (uses(calc::Kind::Capacitor)) {
        capacitorSeries_ = seriesBox(calc::kDefaultCapacitorSeries, form);
        capacitorSeries_->setObjectName(QStringLiteral("capacitorSeries"));
        row(QStringLiteral("电容系列(&C)："), capacitorSeries_, QStringLiteral("电容系列"));
    }
    if (uses(calc::Kind::Inductor)) {
        inductorSeries_ = seriesBox(calc::kDefaultInductorSeries, form);
        inductorSeries_->setObjectName(QStringLiteral("inductorSeries"));
        row(QStringLiteral("电感系列(&L)："), inductorSeries_, QStringLiteral("电感系列"));
    }

    for (const calc::DesignInput& in : inputs_) {
        auto* edit = new QLineEdit(form);
        edit->setObjectName(QStringLiteral("fixed%1").arg(in.box));
        edit->setMaxLength(calc::kMaxInputLength);
        edit->setPlaceholderText(QStringLiteral("空着：自动选"));
        const QString name = qs(in.name) + QStringLiteral(" (") + qs(in.unit) + QStringLiteral(")");
        row(QStringLiteral("固定 ") + name + QStringLiteral("："), edit,
            QStringLiteral("固定 ") + name);
        fixed_[in.box] = edit;
    }

    auto* tolRow = new QWidget(form);
    auto* tolLayout = new QHBoxLayout(tolRow);
    tolLayout->setContentsMargins(0, 0, 0, 0);
    resistorTolerance_ = toleranceBox(calc::kDefaultResistorTolerance, tolRow);
    resistorTolerance_->setObjectName(QStringLiteral("resistorTolerance"));
    resistorTolerance_->setAccessibleName(QStringLiteral("电阻容差"));
    capacitorTolerance_ = toleranceBox(calc::kDefaultCapacitorTolerance, tolRow);
    capacitorTolerance_->setObjectName(QStringLiteral("capacitorTolerance"));
    capacitorTolerance_->setAccessibleName(QStringLiteral("电容容差"));
    inductorTolerance_ = toleranceBox(calc::kDefaultInductorTolerance, tolRow);
    inductorTolerance_->setObjectName(QStringLiteral("inductorTolerance"));
    inductorTolerance_->setAccessibleName(QStringLiteral("电感容差"));
    for (auto [kind, caption, box] : {std::tuple{calc::Kind::Resistor, "R", resistorTolerance_},
                                      std::tuple{calc::Kind::Capacitor, "C", capacitorTolerance_},
                                      std::tuple{calc::Kind::Inductor, "L", inductorTolerance_}}) {
        if (!uses(kind)) {
            box->hide(); // kept for its value; the circuit has no such part
            continue;
        }
        auto* label = new QLabel(QString::fromLatin1(caption), tolRow);
        label->setBuddy(box);
        tolLayout->addWidget(label);
        tolLayout->addWidget(box);
    }
    tolLayout->addStretch();
    auto* tolLabel = new QLabel(QStringLiteral("容差："), form);
    grid->addRow(tolLabel, tolRow);

    top_ = new QSpinBox(form);
    top_->setObjectName(QStringLiteral("topSpin"));
    top_->setRange(1, 20);
    top_->setValue(5);
    row(QStringLiteral("列出组合数(&N)："), top_, QStringLiteral("列出组合数"));

    searchButton_ = new QPushButton(QStringLiteral("查找(&S)"), form);
    searchButton_->setObjectName(QStringLiteral("searchButton"));
    searchButton_->setAccessibleName(QStringLiteral("查找"));
    grid->addRow(QString(), searchButton_);
    return form;
}

std::optional<calc::DesignRequest> DesignDialog::request() {
    calc::DesignRequest r;
    const auto target = number(target_->text());
    if (!target) {
        status_->setText(QStringLiteral("请在“目标频率”里输入一个数，例如 1（单位另选）。"));
        return std::nullopt;
    }
    const double scale[] = {1.0, 1e3, 1e6};
    r.targetHz = *target * scale[targetUnit_->currentIndex()];
    if (duty_ && !duty_->text().trimmed().isEmpty()) {
        QString text = duty_->text().trimmed();
        const bool percent = text.endsWith(QLatin1Char('%'));
        if (percent) {
            text.chop(1);
        }
        const auto d = number(text);
        if (!d) {
            status_->setText(QStringLiteral("占空比要写成 0.6 或 60%，或者空着。"));
            return std::nullopt;
        }
        r.duty = percent ? *d / 100.0 : *d;
    }
    const auto series = [](QComboBox* box, calc::Series fallback) {
        return box ? calc::seriesFromName(box->currentText().toStdString()).value_or(fallback)
                   : fallback;
    };
    r.resistorSeries = series(resistorSeries_, calc::kDefaultResistorSeries);
    r.capacitorSeries = series(capacitorSeries_, calc::kDefaultCapacitorSeries);
    r.inductorSeries = series(inductorSeries_, calc::kDefaultInductorSeries);
    for (std::size_t i = 0; i < fixed_.size(); ++i) {
        if (fixed_[i] && !fixed_[i]->text().isEmpty()) {
            r.fixed[i] = fixed_[i]->text().toStdString();
        }
    }
    r.resistorTolerance = resistorTolerance_->value();
    r.capacitorTolerance = capacitorTolerance_->value();
    r.inductorTolerance = inductorTolerance_->value();
    r.top = static_cast<std::size_t>(top_->value());
    return r;
}

void DesignDialog::search() {
    result_ = {};
    const auto r = request();
    if (!r) {
        showResult();
        status_->setFocus();
        return;
    }
    result_ = calc::design(circuit_, *r);
    showResult();
}

void DesignDialog::showResult() {
    table_->clearContents();
    table_->setRowCount(static_cast<int>(result_.candidates.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const calc::Candidate& c = result_.candidates[static_cast<std::size_t>(row)];
        int column = 0;
        const auto cell = [&](const QString& text) {
            auto* item = new QTableWidgetItem(text);
            table_->setItem(row, column++, item);
        };
        for (const calc::DesignInput& in : inputs_) {
            cell(QString::fromStdString(c.inputs[in.box]));
        }
        QStringList lines;
        for (const std::string& line : c.lines) {
            if (!line.empty()) {
                lines << QString::fromStdString(line);
            }
        }
        cell(lines.join(QStringLiteral("  ")));
        cell(QString::fromStdString(calc::errorText(c.errorPercent)));
        cell(QString::fromStdString(calc::bandText(c, circuit_.mode)));
    }
    table_->resizeColumnsToContents();
    // Wide enough to show every column without scrolling.
    int width = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < table_->columnCount(); ++c) {
        width += table_->columnWidth(c);
    }
    table_->setMinimumWidth(std::max(width, 720));
    adjustSize();
    if (result_.candidates.empty()) {
        if (!result_.reason.empty()) {
            status_->setText(QString::fromStdString(result_.reason));
        }
        fillButton_->setEnabled(false);
        return;
    }
    status_->setText(QStringLiteral("找到 %1 个组合，按频率误差从小到大排列。选中一行，按“填入”。")
                         .arg(result_.candidates.size()));
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
