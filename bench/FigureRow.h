// FigureRow: one row of the figures table that scripts/bench gathers from every benchmark:
// the figure, ours, the reference it is measured against in the same run, and their ratio.
#pragma once

#include <QString>

#include <cstdio>

inline void printFigureRow(const QString &figure, const QString &ours,
    const QString &reference = QStringLiteral("-"), double ratio = 0.0)
{
    const QString shownRatio
        = ratio > 0.0 ? QString::number(ratio, 'f', 2) + QLatin1Char('x') : QStringLiteral("-");
    std::printf("| %s | %s | %s | %s |\n", qPrintable(figure), qPrintable(ours),
        qPrintable(reference), qPrintable(shownRatio));
    std::fflush(stdout);
}
