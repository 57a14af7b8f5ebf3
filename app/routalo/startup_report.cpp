#include "app/routalo/startup_report.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace routalo {
namespace {

class FirstPaintReporter : public QObject {
  public:
    explicit FirstPaintReporter(QObject* parent) : QObject(parent) {
        // The paint reaches the screen once it has run: report right after.
        reportTimer_.setSingleShot(true);
        reportTimer_.setInterval(0);
        connect(&reportTimer_, &QTimer::timeout, this, &FirstPaintReporter::Report);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            reportTimer_.start();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void Report() {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::printf("first-paint-epoch-ms %lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    QTimer reportTimer_;
    bool reported_ = false;
};

}  // namespace

void ReportFirstPaintIfAsked(QWidget& window) {
    if (qEnvironmentVariableIsEmpty(kReportStartupVariable)) {
        return;
    }
    window.installEventFilter(new FirstPaintReporter(&window));
}

}  // namespace routalo
