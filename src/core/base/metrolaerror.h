#pragma once

#include <QString>

#include <exception>
#include <new>
#include <system_error>

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

// The message for an exception that ended an operation: MetrolaError's own text, a Russian
// line when memory ran out (on whichever thread, or for a thread that could not start), the
// library's text for anything else.
inline QString errorMessage(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const MetrolaError *>(&error))
        return own->message();
    // A thread that cannot be started (std::thread, OpenCV's and Qt's pools) is memory too.
    const auto *system = dynamic_cast<const std::system_error *>(&error);
    if (dynamic_cast<const std::bad_alloc *>(&error) ||
        (system && system->code() == std::errc::resource_unavailable_try_again))
        return QStringLiteral("Недостаточно памяти: действие не выполнено.");
    return QString::fromLocal8Bit(error.what());
}
