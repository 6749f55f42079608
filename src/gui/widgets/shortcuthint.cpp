#include "gui/widgets/shortcuthint.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

using namespace Qt::StringLiterals;

ShortcutHint::ShortcutHint(QWidget *control, const QKeySequence &shortcut)
    : QObject(control)
    , m_shortcut(shortcut)
{
    control->installEventFilter(this);
}

void ShortcutHint::attach(QWidget *control, const QKeySequence &shortcut)
{
    new ShortcutHint(control, shortcut);
}

QString ShortcutHint::text(const QString &hint, const QKeySequence &shortcut)
{
    return u"%1 (%2)"_s.arg(hint, shortcut.toString(QKeySequence::NativeText));
}

bool ShortcutHint::eventFilter(QObject *watched, QEvent *event)
{
    auto *control = qobject_cast<QWidget *>(watched);
    if (event->type() != QEvent::ToolTip || !control || control->toolTip().isEmpty())
        return false;
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(control->toolTip(), m_shortcut),
                       control);
    return true;
}
