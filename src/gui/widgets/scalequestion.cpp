#include "gui/widgets/scalequestion.h"

#include "core/base/metrolaerror.h"
#include "core/base/numbertext.h"
#include "core/model/planscales.h"
#include "gui/widgets/dialogs.h"

#include <QDate>

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

bool setScale(QWidget *parent, PlanScales &scales, const QString &planId, double metresPerPixel)
{
    try {
        scales.setScale(planId, {metresPerPixel, QDate::currentDate()});
    } catch (const MetrolaError &error) {
        Dialogs::message(parent, Dialogs::Kind::Warning, QStringLiteral("Ошибка"),
                         error.message() + QStringLiteral(" Масштаб не изменён."));
        return false;
    }
    return true;
}

} // namespace ScaleQuestion
