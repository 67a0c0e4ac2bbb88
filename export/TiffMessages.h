#pragma once

#include <tiffio.h>

#include <string>

// Takes libtiff's errors and warnings for one file instead of its printing them on stderr,
// so a failure is told in our one line with libtiff's reason in it.
class CTiffMessages {
  public:
    CTiffMessages();
    ~CTiffMessages();
    CTiffMessages(const CTiffMessages&) = delete;
    CTiffMessages& operator=(const CTiffMessages&) = delete;

    // For TIFFFdOpenExt and TIFFClientOpenExt.
    TIFFOpenOptions* Options() const { return m_pOptions; }
    // The first error: the system's reason at the time, when there was one, and libtiff's
    // words ("No space left on device (Write error at scanline 0)"); fallback without one.
    std::string Reason(const std::string& fallback) const;

  private:
    static int OnError(TIFF*, void* self, const char* module, const char* format, va_list);
    static int OnWarning(TIFF*, void*, const char*, const char*, va_list);

    TIFFOpenOptions* m_pOptions;
    std::string m_strFirstError;
    int m_nErrno = 0;  // errno when the first error came
};
