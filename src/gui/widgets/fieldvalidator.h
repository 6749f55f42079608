#pragma once

#include <QValidator>

// The filter of every entry field whose text goes into the description file: characters the
// file cannot hold are dropped, typed or pasted alike. It drops them instead of rejecting the
// whole edit, so a paste keeps what it can. The area field keeps only digits and the decimal
// comma, taking a full stop for the comma.
class FieldValidator : public QValidator
{
public:
    enum class Kind { Text, Area };

    FieldValidator(Kind kind, QObject *parent);

    State validate(QString &input, int &pos) const override;

private:
    bool accepts(QChar c) const;

    Kind m_kind;
};
