// Preloaded (LD_PRELOAD) into a Qt program that is being timed, so that the
// program itself stays exactly as shipped. When the QApplication is built it
// watches for the first paint of a top-level window; once that paint cycle
// has finished it writes the CLOCK_MONOTONIC time in nanoseconds to the file
// descriptor named by OSC_FIRSTPAINT_FD and quits the program normally.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

void report() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char* fdText = std::getenv("OSC_FIRSTPAINT_FD");
    if (fdText != nullptr) {
        const std::string line =
            std::to_string(static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec) + "\n";
        const int fd = std::atoi(fdText);
        if (write(fd, line.data(), line.size()) < 0) {
            std::perror("firstpaint probe");
        }
    }
    QCoreApplication::quit();
}

class FirstPaint : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            seen_ = true;
            // The children are painted in the same flush; a zero timer runs
            // once the whole frame is out.
            QTimer::singleShot(0, qApp, &report);
        }
        return false;
    }

private:
    bool seen_ = false;
};

void installProbe() {
    qApp->installEventFilter(new FirstPaint(qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
