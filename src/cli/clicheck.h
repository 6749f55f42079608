#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

class CliProject;

// Everything in a project that would make the GUI fail or mislead, one problem per finding.
struct ProjectCheck
{
    struct Problem
    {
        int row = 0; // table row; 0 for the archive or the caption line
        QString kind;
        QString message;
        // Further fields of the problem's JSON object.
        QJsonObject details;
    };

    std::vector<Problem> problems;

    static ProjectCheck of(CliProject &project);
    QString text() const;
    QJsonObject json() const;

private:
    void add(int row, const QString &kind, const QString &message);
    void checkRecords(const CliProject &project);
    void checkPlanFiles(const CliProject &project);
    void checkLabelPoints(CliProject &project);
};
