#pragma once

#include <QString>

#include <vector>

// The child side of bench_layout: one editor, Orvo's main window or a stock QTextEdit,
// opens one document in a process of its own and measures one scenario.
namespace LayoutBench {

// What the documents end with, for the find to look for.
extern const QString Marker;

double median(std::vector<double> v);

// Runs the scenario on the document at path and prints its figures on one line, as
// key=value pairs, for the parent to read.
int runChild(bool orvo, const QString &path, const QString &scenario);

} // namespace LayoutBench
