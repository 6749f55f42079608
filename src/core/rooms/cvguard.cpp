#include "core/rooms/cvguard.h"

#include "core/base/metrolaerror.h"

#include <opencv2/core.hpp>

#include <new>

using namespace Qt::StringLiterals;

namespace CvGuard {

QString noMemoryMessage(QSize plan)
{
    return u"Недостаточно памяти для плана %1 × %2 точек: действие не выполнено."_s.arg(plan.width())
        .arg(plan.height());
}

void run(QSize plan, const std::function<void()> &step)
{
    try {
        step();
    } catch (const cv::Exception &error) {
        if (error.code == cv::Error::StsNoMem)
            throw MetrolaError(noMemoryMessage(plan));
        throw MetrolaError(u"План %1 × %2 точек не обработан: %3."_s.arg(plan.width())
                               .arg(plan.height())
                               .arg(QString::fromStdString(error.err)));
    } catch (const std::bad_alloc &) {
        throw MetrolaError(noMemoryMessage(plan));
    }
}

} // namespace CvGuard
