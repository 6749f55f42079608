#pragma once

#include <QString>

class QJsonObject;

namespace CliText {

void out(const QString &text);
void err(const QString &text);
void printJson(const QJsonObject &object);

} // namespace CliText
