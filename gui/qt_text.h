// Text between the core's UTF-8 strings and Qt's, for every window.
#pragma once

#include "core/texts.h"

#include <QObject>
#include <QString>

#include <string>

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

inline std::string ss(const QString& s) {
    return s.toStdString();
}

// Interface text n without its access-key ampersand, for labels and dialog titles.
inline QString plainText(const TextTable& texts, int n) {
    QString t = qs(text(texts, n));
    t.remove(QLatin1Char('&'));
    return t;
}

// Gives a control its identifier as object name, so tests and helpers find it by number.
inline void tag(QObject* object, int id) {
    object->setObjectName(QString::number(id));
}
