#pragma once
// The error-trace sink. Methods that catch an exception, and the socket routines,
// pass it a text naming where the failure happened ("Exception in Codec::Reset()").
// By default the text is discarded; tests install a sink to see it.
#include <functional>
#include <string>

void TraceError(const std::string& text);

// Installs the sink for the whole process; null restores the discarding default.
void SetTraceErrorSink(std::function<void(const std::string&)> sink);
