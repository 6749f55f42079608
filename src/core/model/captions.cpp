#include "core/model/captions.h"

Captions Captions::defaults()
{
    return Captions{{
        QStringLiteral("Арендаторы"),
        QStringLiteral("Кв.метры"),
        QStringLiteral("назв.комнат"),
        QStringLiteral("Тип помещений"),
        QStringLiteral("Торговые"),
        QStringLiteral("Офисные"),
        QStringLiteral("Производство"),
        QStringLiteral("Складские"),
        QStringLiteral("Прочие"),
        QStringLiteral("м."),
    }};
}
