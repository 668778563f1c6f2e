#include "update/ProgressPrinter.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace {
constexpr unsigned kBarWidth = 40;
}

KVProgressPrinter KVProgressPrinter::forStderr() {
    return KVProgressPrinter(stderr, ::isatty(STDERR_FILENO) == 1);
}

void KVProgressPrinter::show(unsigned percent) {
    percent = std::min(percent, 100u);
    if (m_terminal) {
        if (int(percent) == m_lastShown)
            return;
        const unsigned filled = percent * kBarWidth / 100;
        const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, ' ');
        std::fprintf(m_out, "\r[%s] %3u%%", bar.c_str(), percent);
    } else {
        const int step = int(percent / 10 * 10);
        if (step <= m_lastShown || step == 0)
            return;
        std::fprintf(m_out, "downloaded %d%%\n", step);
        percent = unsigned(step);
    }
    m_lastShown = int(percent);
    std::fflush(m_out);
}

void KVProgressPrinter::finish() {
    if (m_terminal && m_lastShown >= 0) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }
    m_lastShown = -1;
}
