#pragma once

#include <QString>

#include <exception>

// The one exception type of the core. It carries the Russian message the general error
// handler shows; a failing operation throws at the point of failure and changes nothing after.
class MetrolaError : public std::exception
{
public:
    explicit MetrolaError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8())
    {
    }

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
