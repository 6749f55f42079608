#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
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

    // Places of common use, told only when some room is flagged so.
    struct CommonPlan
    {
        QString name; // empty for the complex
        double usable = 0;
        double common = 0;
        double let = 0;
        std::optional<double> letShare;
        std::optional<double> loadFactor;
    };
    struct Rentable
    {
        QString tenant; // empty for the vacant space (the landlord's share)
        double let = 0;
        double commonShare = 0;
        double rentable = 0;
        std::optional<double> complexShare;
    };
    bool hasCommon = false;
    bool wholeComplex = false;
    std::vector<CommonPlan> commonPlans; // the plans, then the complex
    std::vector<Rentable> rentable;
    std::vector<int> commonRows;

    static ProjectSummary of(const CliProject &project, bool wholeComplex = false);
    QString text() const;
    QJsonObject json() const;
};
