#include "log/GdrLogSink.h"

namespace glo_log {

namespace {
Sink s_sink = {nullptr, nullptr};
} // namespace

void setSink(const Sink& sink) {
    s_sink = sink;
}

bool canLog() {
    return s_sink.canWrite != nullptr && s_sink.canWrite();
}

void write(const wchar_t* line) {
    if (s_sink.write != nullptr)
        s_sink.write(line);
}

} // namespace glo_log
