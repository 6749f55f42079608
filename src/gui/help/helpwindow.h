#pragma once

#include <QDialog>

class QTextBrowser;

// The help page (F1): how marking, editing, saving and the reports work, in one window that
// stays open beside the main window while the user tries what it says.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

    static QString pageHtml();
    QTextBrowser *browser() const { return m_browser; }

protected:
    // The page keys scroll the page wherever the keyboard is in the window.
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Moves the page for the page and arrow keys; false for any other key.
    bool scrollByKey(const QKeyEvent &key);

    QTextBrowser *m_browser = nullptr;
};
