#include "core/rooms/cvguard.h"

#include "core/base/metrolaerror.h"

#include <opencv2/core.hpp>

#include <new>
#include <stdexcept>
#include <string_view>
#include <system_error>

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
    } catch (const std::system_error &error) {
        // A worker thread that cannot be started for want of memory.
        if (error.code() == std::errc::resource_unavailable_try_again)
            throw MetrolaError(noMemoryMessage(plan));
        throw;
    } catch (const std::runtime_error &error) {
        // OpenCV's threads come from TBB, which says so only in words of its own.
        if (std::string_view(error.what()).find("pthread_create") != std::string_view::npos)
            throw MetrolaError(noMemoryMessage(plan));
        throw;
    }
}

} // namespace CvGuard
