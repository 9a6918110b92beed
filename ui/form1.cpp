#include "ui/form1.h"

#include "calc/inputlimit.h"

#include "config.h"

#include "ui/helpview.h"
#include "ui/resultlabel.h"
#include "ui/wholecharvalidator.h"

#include <QAccessible>
#include <QActionGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

namespace {

// The layout is designed in twips, 15 to a pixel at 96 dpi; Qt's high-DPI
// scaling maps these device-independent pixels to other screens.
QRect fromTwips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

QPalette bluePalette(const QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 255));
    return p;
}

// Every drawn size, so the desktop picks a sharp one for the title bar, the
// task switcher and high-density screens instead of scaling the 32 px icon.
// The files are read only when a size is asked for.
QIcon createIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        icon.addFile(QStringLiteral(":/icon%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(OSC_TITLE));
    setWindowIcon(createIcon());
    createMenus();
    createToolsMenu();
    createControls();
    setTabOrder();

    // Fixed size: the layout never follows a resize, so none is offered.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    Form_Load();
    markCircuitInUse();
    inputs_[0]->setFocus();
}

void Form1::createMenus() {
    QMenu* sel = menuBar()->addMenu(
        QString::fromUtf8(calc::kSelMenuCaption.data(), calc::kSelMenuCaption.size()));
    sel->setObjectName(QString::fromLatin1(calc::kSelMenu.data(), calc::kSelMenu.size()));
    QMenu* help = menuBar()->addMenu(
        QString::fromUtf8(calc::kHelpMenuCaption.data(), calc::kHelpMenuCaption.size()));
    help->setObjectName(QString::fromLatin1(calc::kHelpMenu.data(), calc::kHelpMenu.size()));

    // The circuit in use carries the check mark; on the help page none does.
    circuits_ = new QActionGroup(this);
    circuits_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const calc::CatalogueEntry& entry : calc::kCatalogue) {
        if (entry.kind == calc::EntryKind::Startup) {
            continue; // it has no menu item
        }
        QMenu* menu = entry.setsCaptions() ? sel : help;
        QAction* action =
            menu->addAction(QString::fromUtf8(entry.menuCaption.data(), entry.menuCaption.size()));
        action->setObjectName(QString::fromLatin1(entry.menuItem.data(), entry.menuItem.size()));
        if (entry.kind == calc::EntryKind::Help) {
            action->setShortcut(QKeySequence::HelpContents);
        } else {
            action->setCheckable(true);
            circuits_->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, &entry] { select(entry); });
    }
}

void Form1::markCircuitInUse() {
    const calc::CatalogueEntry& shown = calc::menuEntryOf(*circuit_);
    for (QAction* action : circuits_->actions()) {
        action->setChecked(action->objectName().toUtf8() ==
                           QByteArray(shown.menuItem.data(), qsizetype(shown.menuItem.size())));
    }
}

void Form1::createControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(kClientSize);
    setCentralWidget(client);

    auto label = [client](const char* name, const char* caption, QRect geometry) {
        auto* l = new QLabel(QString::fromUtf8(caption), client);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        return l;
    };
    auto result = [client](const char* name, const char* caption, QRect geometry, int limit) {
        auto* l = new ResultLabel(QString::fromUtf8(caption), client);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        l->setGrowthLimit(limit);
        return l;
    };
    auto box = [client](const char* name, QRect geometry) {
        auto* e = new QLineEdit(client);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(geometry);
        e->setMaxLength(calc::kMaxInputLength);
        e->setValidator(new WholeCharValidator(e));
        return e;
    };

    // Created in this order so that stacking matches the designed window.
    webBrowser1_ = new HelpView(client);
    webBrowser1_->setObjectName(QStringLiteral("WebBrowser1"));
    webBrowser1_->setGeometry(QRect(fromTwips(3480, 360, 0, 0).topLeft(), HelpView::kSize));
    connect(webBrowser1_, &HelpView::pageFollowed, this, &Form1::followPage);
    // A result line may grow to the right over the free left column, up to
    // the view's left edge.
    const int resultRightLimit = webBrowser1_->x();

    command1_ = new QPushButton(QString::fromUtf8("计算"), client);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(fromTwips(2400, 1920, 855, 375));
    // The window's keyboard button: Enter on it or in any box presses it.
    command1_->setAutoDefault(true);
    command1_->setDefault(true);
    connect(command1_, &QPushButton::clicked, this, &Form1::Command1_Click);

    inputs_[3] = box("Text5", fromTwips(1080, 1920, 1095, 375));
    inputs_[2] = box("Text4", fromTwips(1080, 1440, 1095, 375));
    inputs_[1] = box("Text3", fromTwips(1080, 960, 1095, 375));
    inputs_[0] = box("Text2", fromTwips(1080, 480, 1095, 375));
    for (QLineEdit* input : inputs_) {
        connect(input, &QLineEdit::returnPressed, command1_, &QPushButton::click);
    }

    captions_[0] = label("Label1", "", fromTwips(120, 600, 735, 255));

    auto* image1 = new QLabel(client);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setGeometry(fromTwips(360, 4560, 3000, 900));
    image1->setPixmap(QPixmap(QStringLiteral(":/banner.gif")));

    results_[calc::F] = result("Label8", "f=", fromTwips(120, 3960, 2655, 375), resultRightLimit);
    QLabel* label13 = label("Label13", "", fromTwips(4560, 240, 1215, 375));
    label13->setPalette(bluePalette(label13));
    QLabel* label12 = label("Label12", OSC_TITLE " V" OSC_VERSION, fromTwips(840, 5640, 2415, 255));
    label12->setPalette(bluePalette(label12));
    results_[calc::T] = result("Label7", "T=", fromTwips(120, 3480, 2655, 255), resultRightLimit);
    results_[calc::T2] = result("Label6", "", fromTwips(120, 3000, 2655, 255), resultRightLimit);
    captions_[1] = label("Label2", "", fromTwips(120, 1080, 735, 255));
    results_[calc::T1] = result("Label5", "", fromTwips(120, 2520, 2655, 255), resultRightLimit);
    captions_[3] = label("Label4", "", fromTwips(120, 2040, 735, 255));
    captions_[2] = label("Label3", "", fromTwips(120, 1560, 735, 255));
    QLabel* lable1 = label("Lable1", "电路简介", fromTwips(3600, 120, 975, 255));

    makeAccessible(image1, lable1);
    createCopyRouting();
}

void Form1::createCopyRouting() {
    for (ResultLabel* line : results_) {
        connect(line, &ResultLabel::selected, this, [this, line] { selectedLine_ = line; });
    }
    // A selection made elsewhere afterwards is the one Ctrl+C copies.
    for (QLineEdit* input : inputs_) {
        connect(input, &QLineEdit::selectionChanged, this, [this, input] {
            if (input->hasSelectedText()) {
                selectedLine_ = nullptr;
            }
        });
        input->installEventFilter(this);
    }
    connect(webBrowser1_, &QTextBrowser::selectionChanged, this, [this] {
        if (webBrowser1_->textCursor().hasSelection()) {
            selectedLine_ = nullptr;
        }
    });
    webBrowser1_->installEventFilter(this);
    command1_->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) && selectedLine_ &&
        selectedLine_->hasSelectedText()) {
        QGuiApplication::clipboard()->setText(selectedLine_->selectedText());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::makeAccessible(QLabel* image1, QLabel* heading) {
    // Each box is announced by its caption; the buddy link makes a screen
    // reader follow the caption when a selection changes it.
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        captions_[i]->setBuddy(inputs_[i]);
    }
    webBrowser1_->setAccessibleName(heading->text());
    image1->setAccessibleName(windowTitle());
}

void Form1::setTabOrder() {
    QWidget::setTabOrder(inputs_[0], inputs_[1]);
    QWidget::setTabOrder(inputs_[1], inputs_[2]);
    QWidget::setTabOrder(inputs_[2], inputs_[3]);
    QWidget::setTabOrder(inputs_[3], command1_);
    QWidget::setTabOrder(command1_, webBrowser1_);
}

void Form1::Form_Load() {
    adress_ = QCoreApplication::applicationDirPath();
    applySelection(calc::startupSelection());
}

void Form1::select(const calc::CatalogueEntry& entry) {
    circuit_ = &entry;
    applySelection(calc::select(entry));
    markPreviousResults();
    markCircuitInUse();
    followScope();
}

void Form1::followPage(const QString& fileName) {
    // A page reached inside the view selects its circuit as its menu item
    // does, so that the captions and "计算" always match the page shown.
    for (const calc::CatalogueEntry& entry : calc::kCatalogue) {
        if (entry.kind == calc::EntryKind::Startup) {
            continue; // it shares its page with the first circuit's item
        }
        const QString page =
            QString::fromUtf8(entry.page.data(), qsizetype(entry.page.size())).section(u'\\', -1);
        if (page.compare(fileName, Qt::CaseInsensitive) == 0) {
            circuit_ = &entry;
            applyCaptionsAndMode(calc::select(entry));
            markPreviousResults();
            markCircuitInUse();
            followScope();
            return;
        }
    }
}

void Form1::applySelection(const calc::Selection& selection) {
    webBrowser1_->showPage(adress_, selection.page);
    applyCaptionsAndMode(selection);
}

void Form1::applyCaptionsAndMode(const calc::Selection& selection) {
    if (selection.captions) {
        for (std::size_t i = 0; i < captions_.size(); ++i) {
            captions_[i]->setText(QString::fromStdString((*selection.captions)[i]));
            // The box's accessible name comes from its caption; tell
            // assistive tools that it changed.
            QAccessibleEvent renamed(inputs_[i], QAccessible::NameChanged);
            QAccessible::updateAccessibility(&renamed);
        }
    }
    j_ = selection.mode;
}

calc::Inputs Form1::boxTexts() const {
    calc::Inputs texts;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        texts[i] = inputs_[i]->text().toStdString();
    }
    return texts;
}

void Form1::Command1_Click() {
    const calc::Inputs texts = boxTexts();
    // Before the message box, which waits for the user.
    followScope();
    const calc::Answer answer = calc::calculate(j_, texts);
    for (std::size_t i = 0; i < results_.size(); ++i) {
        if (answer.lines[i]) {
            results_[i]->setLine(QString::fromStdString(*answer.lines[i]));
            lineCircuits_[i] = answer.lines[i]->empty() ? nullptr : &calc::menuEntryOf(*circuit_);
        }
    }
    // A rejected calculation changes no line: a line of another circuit
    // keeps its mark.
    markPreviousResults();
    if (answer.message) {
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), QString::fromStdString(*answer.message),
                        QMessageBox::Ok, this);
        box.exec();
    }
}

void Form1::markPreviousResults() {
    const calc::CatalogueEntry* shown = &calc::menuEntryOf(*circuit_);
    for (std::size_t i = 0; i < results_.size(); ++i) {
        const calc::CatalogueEntry* of = lineCircuits_[i];
        results_[i]->setPreviousCircuit(
            of && of != shown ? QString::fromUtf8(of->menuCaption.data(), of->menuCaption.size())
                              : QString());
    }
}
