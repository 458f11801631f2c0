// Why a C stream failed, as an errno value, for the messages: the one place that knows
// that the C library may fail and leave errno unset.
#ifndef KML_STREAM_ERRORS_H
#define KML_STREAM_ERRORS_H

#include <cerrno>
#include <cstdio>

// The reason for the last failed call, as an errno value; EIO when the library left none.
inline int LastError()
{
    return errno != 0 ? errno : EIO;
}

// The reason a stream's writes failed, as an errno value; 0 while they have not.
inline int WriteError(std::FILE* stream)
{
    return std::ferror(stream) ? LastError() : 0;
}

// Flushes a stream; returns 0 when everything written to it arrived, else the reason as
// an errno value.
inline int FlushError(std::FILE* stream)
{
    errno = 0;
    return std::fflush(stream) == 0 ? WriteError(stream) : LastError();
}

#endif
