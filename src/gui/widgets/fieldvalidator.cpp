#include "gui/widgets/fieldvalidator.h"

#include "core/base/numbertext.h"
#include "core/model/descriptionfile.h"

FieldValidator::FieldValidator(Kind kind, QObject *parent)
    : QValidator(parent), m_kind(kind)
{
}

QValidator::State FieldValidator::validate(QString &input, int &pos) const
{
    QString kept;
    kept.reserve(input.size());
    int keptPos = 0;
    for (int i = 0; i < input.size(); ++i) {
        QChar c = input.at(i);
        if (!accepts(c))
            continue;
        if (m_kind == Kind::Area && c == u'.')
            c = u',';
        kept.append(c);
        if (i < pos)
            ++keptPos;
    }
    if (kept != input) {
        input = kept;
        pos = keptPos;
    }
    return Acceptable;
}

bool FieldValidator::accepts(QChar c) const
{
    if (m_kind == Kind::Area)
        return NumberText::isAreaCharacter(c);
    return DescriptionFile::canHold(c);
}
