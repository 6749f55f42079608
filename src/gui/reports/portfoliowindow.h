#pragma once

#include "core/portfolio/portfolio.h"

#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;

// "Портфель": every archive of a folder in one table, read in the background while the window
// stays usable; the complexes with their total, the archives that could not be read with the
// reason, and the tenants across complexes. A double click on a complex asks for its archive to
// be opened; the table can be saved as a workbook.
class PortfolioWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PortfolioWindow(QWidget *parent = nullptr);
    ~PortfolioWindow() override;

    // Reads the folder anew (stopping a reading still running).
    void load(const QString &folder, bool recursive);
    // Shows it beside the main window the first time, where the user left it later.
    void showBeside(const QWidget &anchor);
    // Waits for the reading running, if any (tests).
    void waitForLoad();
    const Portfolio::Result &result() const { return m_result; }

    QTableWidget *ComplexTable = nullptr;
    QTableWidget *TenantTable = nullptr;
    QLabel *StatusLabel = nullptr;
    QProgressBar *Progress = nullptr;
    QPushButton *SaveButton = nullptr;
    QTabWidget *Tabs = nullptr;

Q_SIGNALS:
    void archiveActivated(const QString &path);

private:
    void stop();
    void showResult(Portfolio::Result result);
    void saveWorkbook();

    Portfolio::Result m_result;
    std::unique_ptr<std::thread> m_reader;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_generation = 0;
    bool m_placed = false;
};
