#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class CliProject;

// The facts `info` reports (taken from the summary the window shows), printed as text or JSON.
struct ProjectSummary
{
    struct Plan
    {
        QString name;
        int records = 0;
        double area = 0;
    };
    struct Vacancy
    {
        int row = 0;
        QString plan;
        QString name;
        QString area;
    };

    QStringList captions;
    std::vector<Plan> plans;
    int records = 0;
    std::array<double, 5> areaByType{}; // in RecordTable::typeCodes() order
    double areaUnknownType = 0;
    double areaTotal = 0;
    std::vector<int> areaNotNumberRows;
    std::vector<int> areaMissingRows; // records without an area yet

    std::vector<Vacancy> vacant;
    double vacantArea = 0;
    bool finished = false;
    QString lastNewRecord;
    QString lastEdit;
    QString openError;

    static ProjectSummary of(const CliProject &project);
    QString text() const;
    QJsonObject json() const;
};
