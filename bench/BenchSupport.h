#pragma once

#include "WindowOperator.h"

#include <QString>

#include <cstdio>

namespace cvi::bench {

// The benchmarks run unattended: every message goes to stderr, every question is cancelled.
class QuietOperator : public WindowOperator {
public:
    void message(const QString& text, const QString&, Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    QString input(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool openHelp(const QString&) override { return false; }
    int runModal(QDialog&) override { return 0; }
};

} // namespace cvi::bench
