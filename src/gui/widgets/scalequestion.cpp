#include "gui/widgets/scalequestion.h"

#include "core/base/numbertext.h"
#include "gui/widgets/dialogs.h"

namespace ScaleQuestion {

std::optional<double> askMetres(QWidget *parent, const QString &question, const QString &initial)
{
    const auto text = Dialogs::askText(parent, QStringLiteral("Масштаб"), question, initial);
    if (!text)
        return std::nullopt;
    const auto metres = NumberText::scale(text->trimmed());
    if (!metres || *metres <= 0) {
        Dialogs::message(parent, Dialogs::Kind::Warning, QStringLiteral("Ошибка"),
                         QStringLiteral("«%1» — не положительное число метров. Масштаб не изменён.").arg(*text));
        return std::nullopt;
    }
    return metres;
}

} // namespace ScaleQuestion
