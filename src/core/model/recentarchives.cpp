#include "core/model/recentarchives.h"

#include <QFileInfo>

namespace {

QString absolute(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

RecentArchives::RecentArchives(const QStringList &paths)
{
    for (auto it = paths.crbegin(); it != paths.crend(); ++it)
        if (!it->trimmed().isEmpty())
            add(*it);
}

void RecentArchives::add(const QString &path)
{
    remove(path);
    m_paths.prepend(absolute(path));
    while (m_paths.size() > Capacity)
        m_paths.removeLast();
}

void RecentArchives::remove(const QString &path)
{
    m_paths.removeAll(absolute(path));
}
