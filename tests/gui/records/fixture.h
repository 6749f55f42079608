#pragma once

#include "core/plan/colourkey.h"
#include "core/plan/floodfill.h"
#include "gui/mainwindow/form1.h"
#include "gui/records/form2.h"
#include "gui/widgets/dialogs.h"

#include <QButtonGroup>
#include <QDir>
#include <QGroupBox>
#include <QPushButton>
#include <QToolButton>
#include <QImage>
#include <QList>
#include <QPainter>

#include <memory>
#include <vector>

// A main window with a 60 x 40 plan of two rooms (left: x 1..29, right: x 31..58, y 1..38)
// and the message boxes answered with OK and recorded.
struct Fixture
{
    struct Message
    {
        Dialogs::Kind kind;
        QString title;
        QString text;
    };

    static constexpr QPoint kLeftRoom{10, 10};
    static constexpr QPoint kRightRoom{40, 20};
    static inline const QString kPlan = QStringLiteral("plan1.bmp");

    Fixture()
    {
        Dialogs::setResponder({[this](Dialogs::Kind kind, const QString &title, const QString &text) {
                                   messages.append({kind, title, text});
                                   return QMessageBox::Ok;
                               },
                               {}, {}});
        form = std::make_unique<Form1>(QDir::tempPath() + u'/');
        QImage plan(60, 40, QImage::Format_RGB32);
        plan.fill(Qt::white);
        QPainter painter(&plan);
        painter.setPen(Qt::black);
        painter.drawRect(0, 0, 59, 39);
        painter.drawLine(30, 0, 30, 39);
        painter.end();
        form->session().setShownPlan(plan, kPlan);
        form->refreshPlanView();
        form->show();
    }
    ~Fixture() { Dialogs::setResponder({}); }

    ProjectSession &session() { return form->session(); }
    RecordTable &table() { return form->session().table(); }
    Form2 &dialog() { return *form->form2(); }
    quint32 keyAt(QPoint p) { return ColourKey::fromRgb(session().planImage().pixel(p)); }

    // Records as rows 1..n, each painted into its room; the EntryRow carries `entry`.
    void setRecords(const std::vector<RecordTable::Row> &records, const RecordTable::Row &entry = {})
    {
        std::vector<RecordTable::Row> rows = records;
        rows.push_back(entry);
        table().replaceRows(rows);
        for (const RecordTable::Row &r : records) {
            if (r[RecordTable::PlanId] != kPlan)
                continue;
            FloodFill().fill(session().planImage(),
                             QPoint(r[RecordTable::LabelX].toInt(), r[RecordTable::LabelY].toInt()),
                             ColourKey::toRgb(r[RecordTable::ColourKey].toUInt()));
        }
    }

    static RecordTable::Row record(const QString &tenant, quint32 key, QPoint label, const QString &type = {})
    {
        return {kPlan, QStringLiteral("room ") + tenant, type, QStringLiteral("10"), tenant, QStringLiteral("info"),
                QString::number(key), QString::number(label.x()), QString::number(label.y())};
    }

    // A record of a plan not shown, so its room is not painted here.
    static RecordTable::Row elsewhere(RecordTable::Row row)
    {
        row[RecordTable::PlanId] = QStringLiteral("elsewhere.bmp");
        return row;
    }

    std::unique_ptr<Form1> form;
    QList<Message> messages;
};
