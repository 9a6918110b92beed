#include "ui/scopewindow.h"

#include "calc/design.h"
#include "calc/modes.h"
#include "calc/numtext.h"
#include "sim/circuits.h"

#include "ui/scopeview.h"

#include "config.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#ifdef OSC_HAVE_PRINT
#include <QPrintDialog>
#include <QPrinter>
#endif
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#ifdef OSC_HAVE_SVG
#include <QSvgGenerator>
#include <QSvgRenderer>
#endif
#include <QTableWidget>
#include <QTextStream>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <array>
#include <cmath>

namespace {

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString readable(double value, const char* unit) {
    return QString::fromStdString(calc::readable(value, unit));
}

QString percent(double fraction, bool sign = false) {
    return QString::asprintf(sign ? "%+.2f %%" : "%.1f %%", 100 * fraction);
}

// What each circuit's two channels show (the netlist's probe and second
// node) and whether the first has two phases worth their own figures.
struct Channels {
    std::string_view id;
    const char* first;
    const char* second; // nullptr: one channel
    bool twoPhase;
};

constexpr std::array<Channels, 8> kChannels{{
    {"rc1", "u_o", nullptr, false},
    {"rc2", "u_CE1", "u_B1", true},
    {"rc3", "u_o", "A 点", true},
    {"rc4", "u_o", "u_C", true},
    {"lc1", "集电极", "基极（反馈）", false},
    {"lc2", "集电极", "基极（反馈）", false},
    {"lc3", "集电极", "发射极（反馈）", false},
    {"lc4", "集电极", "发射极（反馈）", false},
}};

const Channels* channelsOf(std::string_view id) {
    for (const Channels& c : kChannels) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

// The parts a netlist names in its comments, as the table's caption says them.
QString partsOf(const sim::Netlist& netlist) {
    struct Part {
        const char* marker;
        const char* name;
    };
    static constexpr std::array<Part, 5> kParts{{
        {"Q2N3904", "2N3904"},
        {"NE555", "NE555 行为模型"},
        {"op-amp", "运放宏模型"},
        {"74HC04", "CMOS 反相器（74HC04 型）"},
        {"D1N4148", "1N4148"},
    }};
    QStringList parts;
    for (const Part& p : kParts) {
        if (netlist.text.find(p.marker) != std::string::npos) {
            parts << QString::fromUtf8(p.name);
        }
    }
    return parts.join(QStringLiteral("，"));
}

// The samples of `trace` (times shifted by `left`) that fall on a screen of
// `span` seconds, with one more on each side so that the line reaches the edges.
ScopeTrace visiblePart(const std::vector<double>& time, const std::vector<double>& values,
                       double left, double span) {
    ScopeTrace out;
    const std::size_t n = std::min(time.size(), values.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double t = time[i] - left;
        const bool inside = t >= 0 && t <= span;
        const bool edge = (i + 1 < n && t < 0 && time[i + 1] - left >= 0) ||
                          (i > 0 && t > span && time[i - 1] - left <= span);
        if (inside || edge) {
            out.time.push_back(t);
            out.values.push_back(values[i]);
        }
    }
    return out;
}

// The channel's scale and position: its swing within `halfHeight`
// divisions of its centre line, the level there on a whole division so that
// the grid lines read round volts.
void fitChannel(ScopeChannel& ch, double halfHeight, double supply) {
    double low = INFINITY;
    double high = -INFINITY;
    for (const ScopeTrace* t : {&ch.ideal, &ch.simulated}) {
        for (std::size_t i = 0; i < t->time.size(); ++i) {
            if (t->time[i] >= 0 && std::isfinite(t->values[i])) {
                low = std::min(low, t->values[i]);
                high = std::max(high, t->values[i]);
            }
        }
    }
    if (!(low <= high)) {
        low = high = 0;
    }
    // A flat line (a circuit that does not start) gets a scale of its own supply.
    const double swing = std::max(high - low, 0.05 * supply);
    const double room = 0.95 * halfHeight; // off the screen's edge and the other channel
    double perDiv = calc::voltsPerDivision(swing, 1.5 * halfHeight);
    for (int tries = 0; tries < 4; ++tries, perDiv = calc::step125(perDiv * 1.01)) {
        const double mid = (low + high) / 2 / perDiv;
        // Half a division off the grid, before a coarser scale.
        for (const double centre :
             {std::round(mid), std::floor(mid), std::ceil(mid), std::round(2 * mid) / 2}) {
            if ((high / perDiv - centre) <= room && (centre - low / perDiv) <= room) {
                ch.voltsPerDiv = perDiv;
                ch.centreVolts = centre * perDiv;
                return;
            }
        }
    }
    ch.voltsPerDiv = perDiv;
    ch.centreVolts = (low + high) / 2;
}

// The frequency band of the parts' tolerances, as the pages' tolerance
// sections give it: every part at the low end of its tolerance, then every
// one at the high end, computed by the design search for the values in the
// boxes as one candidate. Resistors ±5 %, capacitors ±10 % or ±20 % from
// 1 μF (electrolytic), inductors ±10 %.
struct ToleranceBand {
    double lowHz = 0;
    double highHz = 0;
    QString tolerances; // "R±5%，C±20%"
};

std::optional<ToleranceBand> toleranceBand(const calc::CatalogueEntry& entry,
                                           const calc::Inputs& boxes,
                                           const calc::FormulaTimes& formula) {
    const std::vector<calc::DesignInput> inputs = calc::designInputs(entry);
    const calc::DesignRules* rules = calc::designRules(entry.mode);
    if (inputs.empty() || !rules) {
        return std::nullopt;
    }
    calc::DesignRequest request;
    request.targetHz = 1 / formula.t;
    request.top = 1;
    // The values' own duty: the search's usual duty window is no question here.
    if (rules->duty && formula.t1 > 0) {
        request.duty = formula.t1 / formula.t;
    }
    std::array<bool, calc::kKinds> used{};
    bool electrolytic = false;
    for (const calc::DesignInput& in : inputs) {
        request.fixed[in.box] = boxes[in.box];
        used[static_cast<std::size_t>(in.kind)] = true;
        electrolytic |= in.kind == calc::Kind::Capacitor &&
                        calc::baseValueOf(in, boxes[in.box]).value_or(0) >= 1e-6;
    }
    ToleranceBand band;
    QStringList tolerances;
    for (std::size_t k = 0; k < calc::kKinds; ++k) {
        calc::PartOptions& part = request.parts[k];
        const auto kind = static_cast<calc::Kind>(k);
        part.tolerance = kind == calc::Kind::Capacitor && electrolytic
                             ? 20.0
                             : calc::defaultTolerance(kind, part.series);
        if (used[k]) {
            tolerances
                << QStringLiteral("%1±%2%").arg(QChar::fromLatin1("RCL"[k])).arg(*part.tolerance);
        }
    }
    const calc::DesignResult result = calc::design(entry, request);
    if (result.candidates.empty()) {
        return std::nullopt; // values the search refuses (outside its rules)
    }
    band.lowHz = result.candidates.front().fMinHz;
    band.highHz = result.candidates.front().fMaxHz;
    band.tolerances = tolerances.join(QStringLiteral("，"));
    return band;
}

} // namespace

ScopeWindow::ScopeWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("ScopeWindow"));
    setWindowTitle(QStringLiteral("仿真波形"));
    createControls();
    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, [this] {
        if (progress_) {
            progressBar_->setValue(static_cast<int>(1000 * progress_->load()));
        }
    });
}

ScopeWindow::~ScopeWindow() {
    // The thread holds its own flag; it stops within the engine's 50 ms.
    if (cancel_) {
        cancel_->store(true);
    }
}

void ScopeWindow::createControls() {
    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("scopeHeading"));
    QFont bold = heading_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading_->setFont(bold);
    layout->addWidget(heading_);
    layout->addWidget(createRunRow());

    auto* middle = new QHBoxLayout;
    view_ = new ScopeView(this);
    middle->addWidget(view_, 3);

    auto* side = new QVBoxLayout;
    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("scopeReadout"));
    readout_->setWordWrap(true);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // A stop on the Tab path whose name is what it shows (set in refresh).
    readout_->setFocusPolicy(Qt::TabFocus);
    readout_->setAccessibleDescription(QStringLiteral("测得的波形参数"));
    side->addWidget(readout_);
    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("scopeTable"));
    table_->setAccessibleName(QStringLiteral("公式与仿真结果对照表"));
    table_->setHorizontalHeaderLabels({QStringLiteral("量"), QStringLiteral("公式"),
                                       QStringLiteral("仿真"), QStringLiteral("差")});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control; the arrows move in it.
    table_->setTabKeyNavigation(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    side->addWidget(table_, 1);
    model_ = new QLabel(this);
    model_->setObjectName(QStringLiteral("scopeModel"));
    model_->setWordWrap(true);
    model_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    side->addWidget(model_);
    auto* exactLabel = new QLabel(QStringLiteral("主窗口的结果："), this);
    side->addWidget(exactLabel);
    exact_ = new QLineEdit(this);
    exact_->setObjectName(QStringLiteral("scopeExact"));
    exact_->setReadOnly(true);
    exactLabel->setBuddy(exact_);
    side->addWidget(exact_);
    middle->addLayout(side, 2);
    layout->addLayout(middle, 1);

    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("scopeStatus"));
    statusLabel_->setWordWrap(true);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(statusLabel_);
    layout->addWidget(createExportRow());
    resize(1100, 600);
}

QWidget* ScopeWindow::createRunRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* showLabel = new QLabel(QStringLiteral("显示(&S)："), row);
    viewChoice_ = new QComboBox(row);
    viewChoice_->setObjectName(QStringLiteral("scopeViewChoice"));
    viewChoice_->addItems(
        {QStringLiteral("稳定波形（触发于上升沿）"), QStringLiteral("起振过程（从 t = 0 开始）")});
    showLabel->setBuddy(viewChoice_);
    connect(viewChoice_, &QComboBox::currentIndexChanged, this, &ScopeWindow::refresh);
    auto* supplyLabel = new QLabel(QStringLiteral("电源电压(&V)："), row);
    supply_ = new QDoubleSpinBox(row);
    supply_->setObjectName(QStringLiteral("scopeSupply"));
    supply_->setRange(1.0, 30.0);
    supply_->setDecimals(1);
    supply_->setSingleStep(0.5);
    supply_->setSuffix(QStringLiteral(" V"));
    supply_->setKeyboardTracking(false);
    supplyLabel->setBuddy(supply_);
    // The formula's levels and the model's behaviour both change with it.
    connect(supply_, &QDoubleSpinBox::valueChanged, this, [this] {
        if (entry_ && formula_) {
            result_.reset();
            refresh();
            startRun();
        }
    });
    progressBar_ = new QProgressBar(row);
    progressBar_->setObjectName(QStringLiteral("scopeProgress"));
    progressBar_->setRange(0, 1000);
    progressBar_->setTextVisible(false);
    progressBar_->setAccessibleName(QStringLiteral("仿真进度"));
    cancelButton_ = new QPushButton(QStringLiteral("取消仿真(&C)"), row);
    cancelButton_->setObjectName(QStringLiteral("scopeCancel"));
    cancelButton_->setEnabled(false);
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        cancelRun();
        status_ = QStringLiteral("仿真已取消。");
        refresh();
    });
    h->addWidget(showLabel);
    h->addWidget(viewChoice_);
    h->addSpacing(16);
    h->addWidget(supplyLabel);
    h->addWidget(supply_);
    h->addSpacing(16);
    h->addWidget(progressBar_, 1);
    h->addWidget(cancelButton_);
    return row;
}

QWidget* ScopeWindow::createExportRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto button = [&](const char* name, const QString& text, auto slot) {
        auto* b = new QPushButton(text, row);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        h->addWidget(b);
        exports_ << b;
        return b;
    };
    button("scopePng", QStringLiteral("导出 PNG…"), [this] {
        exportWith(QStringLiteral("导出图片"), QStringLiteral("PNG 图片 (*.png)"),
                   &ScopeWindow::savePicture);
    });
#ifdef OSC_HAVE_SVG
    button("scopeSvg", QStringLiteral("导出 SVG…"), [this] {
        exportWith(QStringLiteral("导出矢量图"), QStringLiteral("SVG 矢量图 (*.svg)"),
                   &ScopeWindow::savePicture);
    });
#endif
    button("scopeCsv", QStringLiteral("导出 CSV…"), [this] {
        exportWith(QStringLiteral("导出采样数据"), QStringLiteral("CSV 表格 (*.csv)"),
                   &ScopeWindow::saveSamples);
    });
    button("scopeNetlist", QStringLiteral("导出网表…"), [this] {
        exportWith(QStringLiteral("导出 ngspice 网表"), QStringLiteral("SPICE 网表 (*.cir)"),
                   &ScopeWindow::saveNetlist);
    });
    button("scopeCopy", QStringLiteral("复制全部"),
           [this] { QApplication::clipboard()->setText(allText()); });
    button("scopePdf", QStringLiteral("导出 PDF 报告…"), [this] {
        exportWith(QStringLiteral("导出实验报告"), QStringLiteral("PDF 文件 (*.pdf)"),
                   &ScopeWindow::saveReport);
    });
#ifdef OSC_HAVE_PRINT
    button("scopePrint", QStringLiteral("打印报告…"), &ScopeWindow::printReport);
#endif
    h->addStretch(1);
    return row;
}

void ScopeWindow::exportWith(const QString& title, const QString& filter,
                             bool (ScopeWindow::*save)(const QString&) const) {
    const QString suffix = filter.section(QStringLiteral("*"), 1).chopped(1);
    const QString name = qs(entry_ ? entry_->id : "scope") + suffix;
    QString path = QFileDialog::getSaveFileName(this, title, name, filter);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) {
        path += suffix;
    }
    if (!(this->*save)(path)) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("无法写入文件：") + path);
    }
}

QString ScopeWindow::status() const {
    return status_;
}

void ScopeWindow::follow(const calc::CatalogueEntry& entry, const calc::Inputs& boxes,
                         std::vector<sim::PartValue> parts) {
    const calc::CatalogueEntry& shown = calc::menuEntryOf(entry);
    const bool circuitChanged = entry_ != &shown;
    if (running_) {
        cancelRun();
    }
    entry_ = &shown;
    boxes_ = boxes;
    parts_ = std::move(parts);
    result_.reset();
    formula_.reset();
    status_.clear();
    if (circuitChanged && sim::hasNetlist(shown.id)) {
        const QSignalBlocker quiet(supply_);
        supply_->setValue(sim::defaultSupply(shown.id));
    }
    supply_->setEnabled(sim::hasNetlist(shown.id));
    heading_->setText(shown.kind == calc::EntryKind::Help ? QStringLiteral("帮助")
                                                          : qs(shown.menuCaption));

    const calc::Answer answer = calc::calculate(shown.mode, boxes);
    QStringList lines;
    for (const auto& line : answer.lines) {
        if (line && !line->empty()) {
            lines << QString::fromStdString(*line);
        }
    }
    exactLines_ = lines.join(QStringLiteral("  "));
    if (shown.kind == calc::EntryKind::Help) {
        showNothing(QStringLiteral(
            "帮助页不是电路，没有波形可看。请在主窗口的“选择电路”菜单里选一个电路。"));
        return;
    }
    if (!sim::hasNetlist(shown.id)) {
        showNothing(
            QStringLiteral("石英晶体电路不用计算，也没有仿真：它的频率就是晶体的标称频率。"));
        return;
    }
    const calc::ModeTraits* traits = calc::modeTraits(shown.mode);
    std::array<double, 4> x{};
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = calc::toNumber(boxes[i]);
    }
    const std::optional<calc::Periods> p = calc::periods(shown.mode, x);
    if (answer.message || !traits || !p) {
        showNothing(QStringLiteral("输入框里没有可计算的数值（") +
                    QString::fromStdString(answer.message.value_or(calc::kInputError)) +
                    QStringLiteral("）。请在主窗口填好元件值后按“计算”。"));
        return;
    }
    const double perSecond = traits->hzPerUnit;
    formula_ = calc::FormulaTimes{p->t1 / perSecond, p->t2 / perSecond, p->t / perSecond};
    refresh();
    startRun();
}

void ScopeWindow::showNothing(const QString& why) {
    status_ = why;
    refresh();
}

void ScopeWindow::startRun() {
    if (cancel_) {
        cancel_->store(true);
    }
    const unsigned generation = ++generation_;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    auto progress = std::make_shared<std::atomic<double>>(0.0);
    cancel_ = cancel;
    progress_ = progress;
    setRunning(true, 0);
    status_.clear();

    // The thread gets copies and its own flag and progress: nothing of the
    // window, which may be gone when it ends.
    auto* watcher = new QFutureWatcher<sim::Simulation>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        // A cancelled or superseded run leaves nothing behind.
        if (generation == generation_) {
            showSimulation(watcher->result());
        }
    });
    watcher->setFuture(
        QtConcurrent::run([id = std::string(entry_->id), boxes = boxes_, parts = parts_,
                           supply = supply_->value(), cancel, progress] {
            sim::RunControl control;
            control.cancel = cancel.get();
            control.progress = [progress](double done) { progress->store(done); };
            return sim::simulate(id, boxes, supply, control, parts);
        }));
    refresh();
}

void ScopeWindow::cancelRun() {
    if (cancel_) {
        cancel_->store(true);
    }
    ++generation_;
    setRunning(false, 0);
}

void ScopeWindow::setRunning(bool running, int progress) {
    running_ = running;
    if (running) {
        progressTimer_.start();
    } else {
        progressTimer_.stop();
    }
    progressBar_->setValue(progress);
    progressBar_->setEnabled(running);
    cancelButton_->setEnabled(running);
}

void ScopeWindow::showSimulation(const sim::Simulation& simulation) {
    setRunning(false, progressBar_->maximum());
    if (simulation.ran()) {
        result_ = simulation;
    } else {
        result_.reset();
    }
    status_ = simulation.message ? QString::fromStdString(simulation.message->chinese) : QString();
    refresh();
    emit runFinished();
}

void ScopeWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        cancelRun();
    }
    event->accept();
}

ScopePicture ScopeWindow::arrange() const {
    ScopePicture pic;
    if (!entry_) {
        return pic;
    }
    const bool startup = viewChoice_->currentIndex() == 1;
    pic.heading = startup ? QStringLiteral("起振过程，从接通电源 t = 0 起")
                          : QStringLiteral("稳定波形，CH1 上升沿触发");
    const Channels* names = channelsOf(entry_->id);
    if (!formula_ || !names) {
        pic.heading.clear();
        pic.note = status_;
        return pic;
    }
    const sim::Simulation* s = simulation();
    const sim::Trace* time = s ? sim::findTrace(s->traces, "time") : nullptr;
    const bool oscillates = s && time && s->outcome == sim::Simulation::Outcome::Oscillates;
    const sim::Measurement* m = s ? &s->measurement : nullptr;
    const double supply = s ? s->netlist.supply : supply_->value();
    const std::size_t count = names->second ? 2 : 1;
    pic.channels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        pic.channels[i].name = QString::fromUtf8(i == 0 ? names->first : names->second);
    }

    double left = 0;
    if (startup) {
        if (!s || !time) {
            pic.note =
                running_ ? QStringLiteral("仿真中……") : QStringLiteral("起振过程要等仿真的结果。");
            return pic;
        }
        const double stop = time->values.back();
        const double span = oscillates ? std::min(stop, (m->settleCycles + 3) * m->period) : stop;
        pic.timePerDiv = calc::step125(span / calc::kTimeDivisions);
    } else {
        const double period = oscillates ? m->period : formula_->t;
        const double div = calc::timePerDivision(period);
        pic.timePerDiv = div;
        pic.trigger = div;
        // The ideal waveform starts with a rising edge: the one on the
        // trigger is the first whole period after the left edge.
        const double t = formula_->t;
        const double offset = t * std::ceil(div / t);
        calc::SineLevels sine{entry_->id == "rc1" ? 0.0 : supply, supply};
        if (oscillates) {
            sine = {m->middle, m->amplitude};
        }
        const calc::IdealWave w =
            calc::idealWaveform(entry_->id, *formula_, supply, sine, offset + 9 * div, 4000);
        for (std::size_t i = 0; i < count; ++i) {
            pic.channels[i].ideal =
                visiblePart(w.time, i == 0 ? w.first : w.second, offset - div, 10 * div);
        }
        // The simulated trigger: the first rising edge of the measured cycles;
        // a circuit that does not start shows the end of its run.
        if (time) {
            left = oscillates ? m->firstEdge - div : time->values.back() - 10 * div;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const sim::Trace* node =
            s && time ? sim::findTrace(s->traces, i == 0 ? s->netlist.probe : s->netlist.second)
                      : nullptr;
        if (node) {
            pic.channels[i].simulated = visiblePart(time->values, node->values, left,
                                                    calc::kTimeDivisions * pic.timePerDiv);
        }
        // Two channels share the screen, the first above the second.
        pic.channels[i].centreDivision = count == 1 ? 0.0 : (i == 0 ? 2.0 : -2.0);
        fitChannel(pic.channels[i], count == 1 ? 4.0 : 2.0, supply);
    }
    if (s && !oscillates) {
        pic.note = status_;
    }
    return pic;
}

namespace {

struct Row {
    QString name;
    QString formula;
    QString simulated;
    QString difference;
};

// Draws the page's schematic STEM.svg at `width`, its top left at `at`, and
// returns its height (0 if there is none). Where this Qt reads no SVG, the
// 2x PNG rendering shipped beside the drawing stands in for it.
double drawSchematic(QPainter& p, const QString& stem, QPointF at, double width) {
#ifdef OSC_HAVE_SVG
    QSvgRenderer schematic(stem + QStringLiteral(".svg"));
    if (schematic.isValid()) {
        const QSizeF size = schematic.defaultSize();
        const double h = width * size.height() / size.width();
        schematic.render(&p, QRectF(at, QSizeF(width, h)));
        return h;
    }
#endif
    const QImage image(stem + QStringLiteral("@2x.png"));
    if (image.isNull()) {
        return 0;
    }
    const double h = width * image.height() / image.width();
    p.drawImage(QRectF(at, QSizeF(width, h)), image);
    return h;
}

} // namespace

void ScopeWindow::fillTable() {
    std::vector<Row> rows;
    const sim::Simulation* s = simulation();
    const Channels* names = entry_ ? channelsOf(entry_->id) : nullptr;
    if (formula_ && names) {
        const bool measured = s && s->outcome == sim::Simulation::Outcome::Oscillates;
        const sim::Measurement* m = measured ? &s->measurement : nullptr;
        const QString none = running_ ? QStringLiteral("仿真中…")
                             : s      ? QStringLiteral("不起振")
                                      : QStringLiteral("—");
        auto row = [&](const QString& name, double formula, double simulated, const char* unit) {
            Row r{name, formula > 0 ? readable(formula, unit) : QStringLiteral("—"), none, {}};
            if (m) {
                r.simulated = readable(simulated, unit);
                if (formula > 0) {
                    r.difference = percent(simulated / formula - 1, true);
                }
            }
            rows.push_back(r);
        };
        const calc::FormulaTimes& f = *formula_;
        row(QStringLiteral("f"), 1 / f.t, m ? m->frequency : 0, "Hz");
        row(QStringLiteral("T"), f.t, m ? m->period : 0, "s");
        if (names->twoPhase) {
            // The gate oscillator's formula gives two equal halves.
            const double t1 = f.t1 > 0 ? f.t1 : f.t / 2;
            const double t2 = f.t2 > 0 ? f.t2 : f.t / 2;
            row(QStringLiteral("T1（CH1 高）"), t1, m ? m->high : 0, "s");
            row(QStringLiteral("T2（CH1 低）"), t2, m ? m->low : 0, "s");
            Row duty{QStringLiteral("占空比 T1/T"), percent(t1 / f.t), none, {}};
            if (m) {
                duty.simulated = percent(m->duty);
                duty.difference = QString::asprintf("%+.1f 个百分点", 100 * (m->duty - t1 / f.t));
            }
            rows.push_back(duty);
        }
        if (const std::optional<ToleranceBand> band = toleranceBand(*entry_, boxes_, f)) {
            // One unit for both ends where they share it: "38.17～63.29 Hz".
            QString low = readable(band->lowHz, "Hz");
            const QString high = readable(band->highHz, "Hz");
            if (low.section(u' ', -1) == high.section(u' ', -1)) {
                low = low.section(u' ', 0, 0);
            }
            // On two lines: the table has no room for a long name.
            Row r{QStringLiteral("f 范围\n（%1）").arg(band->tolerances),
                  low + QStringLiteral("～") + high, none,
                  QString::asprintf("%+.2f～%+.2f %%", 100 * (band->lowHz * f.t - 1),
                                    100 * (band->highHz * f.t - 1))};
            if (m) {
                r.simulated = band->lowHz <= m->frequency && m->frequency <= band->highHz
                                  ? QStringLiteral("在范围内")
                                  : QStringLiteral("在范围外");
            }
            rows.push_back(r);
        }
        Row amplitude{QStringLiteral("CH1 振幅（峰峰值）"), QStringLiteral("—"), none, {}};
        Row settle{QStringLiteral("稳定所需周期"), QStringLiteral("—"), none, {}};
        if (m) {
            amplitude.simulated = readable(m->amplitude, "V");
            settle.simulated =
                m->settled ? QString::number(m->settleCycles, 'f', 1) : QStringLiteral("尚未稳定");
        }
        rows.push_back(amplitude);
        rows.push_back(settle);
    }
    table_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::array<QString, 4> cells{rows[i].name, rows[i].formula, rows[i].simulated,
                                           rows[i].difference};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[static_cast<std::size_t>(c)]);
            if (c > 0) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            table_->setItem(static_cast<int>(i), c, item);
        }
    }
}

QString ScopeWindow::modelLine() const {
    const sim::Simulation* s = simulation();
    if (!s) {
        return {};
    }
    QStringList parts{QStringLiteral("仿真：ngspice")};
    const QString models = partsOf(s->netlist);
    if (!models.isEmpty()) {
        parts << models;
    }
    const QString volts = QString::number(s->netlist.supply) + QStringLiteral(" V");
    parts << (entry_ && entry_->id == "rc1" ? QStringLiteral("±") + volts : volts);
    return parts.join(QStringLiteral("，"));
}

void ScopeWindow::refresh() {
    view_->setPicture(arrange());
    fillTable();
    const sim::Simulation* s = simulation();
    if (s && s->outcome == sim::Simulation::Outcome::Oscillates) {
        const sim::Measurement& m = s->measurement;
        const Channels* names = channelsOf(entry_->id);
        QString text =
            QStringLiteral("测得（CH1 %1，相邻上升沿之间，%2 个周期平均）：T = %3，f = %4")
                .arg(QString::fromUtf8(names->first))
                .arg(m.cycles)
                .arg(readable(m.period, "s"), readable(m.frequency, "Hz"));
        if (names->twoPhase) {
            text += QStringLiteral("，T1 = %1，T2 = %2，占空比 %3")
                        .arg(readable(m.high, "s"), readable(m.low, "s"), percent(m.duty));
        }
        readout_->setText(text + QStringLiteral("。"));
    } else {
        readout_->setText(running_ ? QStringLiteral("正在仿真……虚线是公式给出的理想波形。")
                                   : QString());
    }
    model_->setText(modelLine());
    exact_->setText(exactLines_);
    exact_->setCursorPosition(0);
    readout_->setAccessibleName(readout_->text().isEmpty() ? QStringLiteral("还没有测得的波形参数")
                                                           : readout_->text());
    statusLabel_->setText(status_);
    // Why nothing is shown is a Tab stop while there is something to say.
    statusLabel_->setFocusPolicy(status_.isEmpty() ? Qt::NoFocus : Qt::TabFocus);
    for (QPushButton* b : exports_) {
        const QString name = b->objectName();
        const bool needsRun =
            name == QLatin1String("scopeCsv") || name == QLatin1String("scopeNetlist");
        b->setEnabled(needsRun ? s != nullptr : formula_.has_value());
    }
}

bool ScopeWindow::savePicture(const QString& path) const {
    const QSize size(960, 680);
#ifdef OSC_HAVE_SVG
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(heading_->text());
        QPainter painter;
        if (!painter.begin(&svg)) {
            return false;
        }
        view_->paintScope(painter, QRectF(QPointF(0, 0), size));
        return painter.end() && QFile::exists(path);
    }
#endif
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    view_->paintScope(painter, QRectF(QPointF(0, 0), size));
    painter.end();
    return image.save(path, "PNG");
}

bool ScopeWindow::saveSamples(const QString& path) const {
    const sim::Simulation* s = simulation();
    const sim::Trace* time = s ? sim::findTrace(s->traces, "time") : nullptr;
    if (!time) {
        return false;
    }
    std::vector<const sim::Trace*> columns{time, sim::findTrace(s->traces, s->netlist.probe)};
    if (const sim::Trace* second = sim::findTrace(s->traces, s->netlist.second)) {
        columns.push_back(second);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    QTextStream out(&file);
    QStringList header;
    for (const sim::Trace* c : columns) {
        header << (c ? qs(c->name) : QString()) +
                      (c == time ? QStringLiteral(" (s)") : QStringLiteral(" (V)"));
    }
    out << header.join(u',') << '\n';
    for (std::size_t i = 0; i < time->values.size(); ++i) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const bool has = columns[c] && i < columns[c]->values.size();
            out << (c ? "," : "") << (has ? QString::number(columns[c]->values[i], 'g', 10) : "");
        }
        out << '\n';
    }
    out.flush();
    return file.commit();
}

bool ScopeWindow::saveNetlist(const QString& path) const {
    const sim::Simulation* s = simulation();
    if (!s) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QByteArray::fromStdString(sim::standaloneNetlist(*s)));
    return file.commit();
}

QString ScopeWindow::allText() const {
    QStringList out;
    if (!entry_) {
        return {};
    }
    out << QStringLiteral("电路：") + heading_->text();
    QStringList inputs;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        if (entry_->setsCaptions() && entry_->captions[i] != calc::kNone) {
            inputs << qs(entry_->captions[i]) + QStringLiteral(" = ") + qs(boxes_[i]);
        }
    }
    if (!inputs.isEmpty()) {
        out << QStringLiteral("输入：") + inputs.join(QStringLiteral("，"));
    }
    if (supply_->isEnabled()) {
        out << QStringLiteral("电源电压：") + QString::number(supply_->value()) +
                   QStringLiteral(" V");
    }
    if (!exactLines_.isEmpty()) {
        out << QStringLiteral("公式结果：") + exactLines_;
    }
    for (int r = 0; r < table_->rowCount(); ++r) {
        QString line = table_->item(r, 0)->text().remove(u'\n') + QStringLiteral("：公式 ") +
                       table_->item(r, 1)->text() + QStringLiteral("，仿真 ") +
                       table_->item(r, 2)->text();
        if (!table_->item(r, 3)->text().isEmpty()) {
            line += QStringLiteral("，差 ") + table_->item(r, 3)->text();
        }
        out << line;
    }
    if (!readout_->text().isEmpty()) {
        out << readout_->text();
    }
    if (!model_->text().isEmpty()) {
        out << model_->text();
    }
    if (!status_.isEmpty()) {
        out << status_;
    }
    return out.join(u'\n') + u'\n';
}

bool ScopeWindow::saveReport(const QString& path) const {
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    // 96 dots an inch: the picture's and the text's pixel sizes as on screen.
    pdf.setResolution(96);
    pdf.setTitle(QStringLiteral("振荡电路实验报告：") + heading_->text());
    pdf.setCreator(QStringLiteral(OSC_TITLE));
    QPainter painter;
    if (!painter.begin(&pdf)) {
        return false;
    }
    paintReport(painter, QRectF(QPointF(0, 0), pdf.pageLayout().paintRectPixels(96).size()));
    return painter.end();
}

void ScopeWindow::printReport() {
#ifdef OSC_HAVE_PRINT
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("振荡电路实验报告"));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    QPainter painter(&printer);
    // Drawn at 96 units an inch, as the PDF is, whatever the printer's resolution.
    const double scale = printer.resolution() / 96.0;
    painter.scale(scale, scale);
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    paintReport(painter, QRectF(QPointF(0, 0), page.size() / scale));
#endif
}

void ScopeWindow::paintReport(QPainter& p, const QRectF& page) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(20);
    font.setBold(true);
    p.setFont(font);
    double y = page.top();
    const QRectF titleRect(page.left(), y, page.width(), 30);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("振荡电路实验报告：") + heading_->text());
    y += 38;

    // The page's schematic on the left, the inputs and figures beside it.
    const double schematicWidth = page.width() * 0.42;
    double textTop = y;
    if (entry_ && entry_->kind == calc::EntryKind::Circuit) {
        const QString stem = QCoreApplication::applicationDirPath() + QStringLiteral("/html/") +
                             qs(entry_->page).section(u'\\', -1).section(u'.', 0, 0);
        y += drawSchematic(p, stem, QPointF(page.left(), y), schematicWidth);
    }
    font.setBold(false);
    font.setPixelSize(12);
    p.setFont(font);
    const QFontMetricsF fm(font);
    const double textLeft = page.left() + schematicWidth + 16;
    const QRectF textRect(textLeft, textTop, page.right() - textLeft, page.height());
    QStringList lines = allText().split(u'\n', Qt::SkipEmptyParts);
    if (!lines.isEmpty()) {
        lines.removeFirst(); // the circuit: the title says it
    }
    QRectF used;
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines.join(u'\n'), &used);
    y = std::max(y, used.bottom()) + 16;

    // The scope picture, on white, across the page.
    const double pictureHeight = std::min(page.width() * 0.68, page.bottom() - y - 24);
    if (pictureHeight > 100) {
        view_->paintScope(p, QRectF(page.left(), y, page.width(), pictureHeight), true);
        y += pictureHeight + 8;
    }
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(Qt::darkGray);
    p.drawText(QRectF(page.left(), page.bottom() - 16, page.width(), 16),
               Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral(OSC_TITLE " V" OSC_VERSION "，") +
                   QDate::currentDate().toString(Qt::ISODate));
    p.restore();
}
