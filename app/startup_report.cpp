#include "app/startup_report.h"

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
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // The paint is flushed to the screen once it has run; report after.
            QTimer::singleShot(0, this, [] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::printf(
                    "first-paint-epoch-ms %lld\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
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
