#pragma once

#include <QImage>
#include <QString>

#include <functional>

// Receives each stage of finding rooms as a picture (ink, walls, free space, closing lines,
// regions), so that anyone can see why a room failed: the batch tool writes them with
// --stages DIR. Empty: the stages are not made at all.
using StageSink = std::function<void(const QString &name, const QImage &picture)>;
