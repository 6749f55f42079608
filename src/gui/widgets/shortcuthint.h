#pragma once

#include <QKeySequence>
#include <QObject>

class QWidget;

// Shows a control's shortcut beside its hint when the tooltip appears, so the hint text itself
// (its toolTip property) stays exactly as it is.
class ShortcutHint : public QObject
{
    Q_OBJECT

public:
    // Owned by the control.
    static void attach(QWidget *control, const QKeySequence &shortcut);
    // The text the tooltip shows: the hint, then the shortcut in the system's notation.
    static QString text(const QString &hint, const QKeySequence &shortcut);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ShortcutHint(QWidget *control, const QKeySequence &shortcut);

    QKeySequence m_shortcut;
};
