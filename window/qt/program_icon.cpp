#include "window/qt/program_icon.h"

#include <QString>

namespace routalo {
namespace {

QIcon BuiltInIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/routalo/icon/routalo-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

QIcon ProgramIcon() {
    return QIcon::fromTheme(QStringLiteral("routalo"), BuiltInIcon());
}

}  // namespace routalo
