#include "shell/Version.h"

#include <QStringList>

namespace flashsmith::shell {

QString ProductName() { return QStringLiteral(FLASHSMITH_PRODUCT_NAME); }

QString ProductVersion() {
    QStringList parts = QString(FLASHSMITH_VERSION).split('.');
    while (parts.size() < 4) parts << "0";
    return parts.mid(0, 4).join('.');
}

QString ApplicationCaption() { return ProductName() + " v" + ProductVersion(); }

}  // namespace flashsmith::shell
