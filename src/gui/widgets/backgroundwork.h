#pragma once

#include "core/base/workcancel.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

// Long work (rendering a PDF page, preparing a plan, finding rooms) runs on a thread of its
// own while a progress window with "Отмена" shows and every window keeps painting. The work
// gets copies of what it reads, never the window's objects.
namespace BackgroundWork {

// Runs `work` and waits for it without freezing. False when the user pressed "Отмена": the
// work is told to stop and left to end by itself; whatever it still makes is dropped. An
// exception of the work is thrown again here, on the window's thread.
bool run(QWidget *parent, const QString &title, const QString &text,
         std::function<void(const WorkCancel &)> work);

// As run(), handing back the work's result; nullopt when cancelled.
template <typename T>
std::optional<T> compute(QWidget *parent, const QString &title, const QString &text,
                         std::function<T(const WorkCancel &)> work)
{
    auto result = std::make_shared<std::optional<T>>();
    const bool done = run(parent, title, text, [result, work = std::move(work)](const WorkCancel &cancel) {
        *result = work(cancel);
    });
    if (!done)
        return std::nullopt;
    return std::move(*result);
}

} // namespace BackgroundWork
