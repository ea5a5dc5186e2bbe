#include "shell/QtText.h"

namespace flashsmith::shell {

QString BytesToQString(const std::string& bytes) {
    QString s = QString::fromUtf8(bytes);
    if (s.contains(QChar::ReplacementCharacter)) return QString::fromLatin1(bytes);
    return s;
}

}  // namespace flashsmith::shell
