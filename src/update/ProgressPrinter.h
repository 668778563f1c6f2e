#pragma once

#include <cstdio>

// Shows a download's progress: a bar redrawn in place on a terminal, otherwise one line per 10 %, so
// logs and pipes get a few readable lines.
class KVProgressPrinter {
public:
    KVProgressPrinter(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}
    // On stderr, as a bar when stderr is a terminal.
    static KVProgressPrinter forStderr();

    void show(unsigned percent);
    // Ends the bar's line; the next download starts afresh.
    void finish();

private:
    std::FILE* m_out;
    bool m_terminal;
    int m_lastShown = -1;
};
