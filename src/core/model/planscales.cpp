#include "core/model/planscales.h"

#include "core/base/cp1251.h"
#include "core/base/metrolaerror.h"
#include "core/base/namerule.h"
#include "core/base/numbertext.h"
#include "core/base/safefile.h"
#include "core/model/descriptionfile.h"
#include "core/model/sidefile.h"

#include <QFile>


namespace {

constexpr char kSeparator = ';';

QString dateFormat()
{
    return QStringLiteral("dd.MM.yyyy");
}

} // namespace

QString PlanScales::fileName()
{
    return QStringLiteral("metrola-scale.csv");
}

std::optional<PlanScale> PlanScales::scale(const QString &planId) const
{
    const auto it = m_scales.constFind(planId);
    if (it == m_scales.cend())
        return std::nullopt;
    return *it;
}

bool PlanScales::isUsableScale(double metresPerPixel)
{
    // Also false for NaN.
    return metresPerPixel >= kMinScale && metresPerPixel <= kMaxScale;
}

void PlanScales::setScale(const QString &planId, const PlanScale &scale)
{
    if (!isUsableScale(scale.metresPerPixel)) {
        // Six significant digits with an exponent where needed: a refused scale may be far
        // outside what the fixed notation of the scale file can show.
        const QString given = QString::number(scale.metresPerPixel, 'g', 6).replace(u'.', u',');
        throw MetrolaError(QStringLiteral("Масштаб должен быть от %1 до %2 м на пиксель: %3.")
                               .arg(NumberText::formatScale(kMinScale), NumberText::formatScale(kMaxScale), given));
    }
    m_scales.insert(planId, scale);
}

void PlanScales::removeScale(const QString &planId)
{
    m_scales.remove(planId);
}

void PlanScales::setTolerance(double percent)
{
    if (!(percent >= 0 && percent <= kMaxTolerance)) {
        throw MetrolaError(QStringLiteral("Допуск должен быть числом от 0 до %1 %.")
                               .arg(NumberText::formatScale(kMaxTolerance)));
    }
    m_tolerance = percent;
}

QByteArray PlanScales::build(const QStringList &plans) const
{
    QByteArray out;
    const QByteArray tolerance = NumberText::formatScale(m_tolerance).toLatin1();
    for (const QString &plan : plans) {
        const auto it = m_scales.constFind(plan);
        if (it == m_scales.cend())
            continue;
        Cp1251::appendEncoded(out, plan);
        out += kSeparator;
        out += NumberText::formatScale(it->metresPerPixel).toLatin1();
        out += kSeparator;
        out += it->date.toString(dateFormat()).toLatin1();
        out += kSeparator;
        out += tolerance;
        out += kSeparator;
        out += "\r\n";
    }
    return out;
}

PlanScales PlanScales::parse(QByteArrayView data)
{
    PlanScales scales;
    bool toleranceRead = false;
    for (const QByteArrayView line : DescriptionFile::splitLines(data)) {
        // Fields end in ";" as in the description file; a last one without it counts too.
        const QStringList fields = Cp1251::toUnicode(line).split(QLatin1Char(kSeparator));
        const auto at = [&fields](int k) { return k < fields.size() ? fields[k] : QString(); };
        const QString plan = at(0);
        const auto value = NumberText::scale(at(1));
        if (plan.isEmpty() || !NameRule::isBareFileName(plan) || !value || !isUsableScale(*value)
            || scales.m_scales.contains(plan))
            continue;
        scales.m_scales.insert(plan, {*value, QDate::fromString(at(2), dateFormat())});
        const auto tolerance = NumberText::scale(at(3));
        if (!toleranceRead && tolerance && *tolerance >= 0 && *tolerance <= kMaxTolerance) {
            scales.m_tolerance = *tolerance;
            toleranceRead = true;
        }
    }
    return scales;
}

bool PlanScales::write(const QString &programDir, const QStringList &plans) const
{
    const QString path = programDir + fileName();
    const QByteArray bytes = build(plans);
    if (bytes.isEmpty()) {
        if (SafeFile::kindOf(path, false) != SafeFile::Kind::Missing && !SafeFile::removeRegular(path))
            throw MetrolaError(QStringLiteral("Не удалось удалить прежний файл масштабов «%1».").arg(path));
        return false;
    }
    QString reason;
    if (!SafeFile::writeReplacing(path, bytes, &reason))
        throw MetrolaError(QStringLiteral("Не удалось записать файл масштабов «%1»: %2").arg(path, reason));
    return true;
}

PlanScales PlanScales::load(const QString &programDir)
{
    return parse(SideFile::readCp1251(programDir + fileName(), kFileSizeLimit, QStringLiteral("файл масштабов")));
}
