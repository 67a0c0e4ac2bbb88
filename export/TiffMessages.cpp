#include "export/TiffMessages.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "export/MetadataText.h"

CTiffMessages::CTiffMessages() : m_pOptions(TIFFOpenOptionsAlloc()) {
    TIFFOpenOptionsSetErrorHandlerExtR(m_pOptions, &CTiffMessages::OnError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(m_pOptions, &CTiffMessages::OnWarning, this);
}

CTiffMessages::~CTiffMessages() {
    TIFFOpenOptionsFree(m_pOptions);
}

int CTiffMessages::OnError(TIFF*, void* self, const char*, const char* format, va_list arguments) {
    auto* messages = static_cast<CTiffMessages*>(self);
    if (messages->m_strFirstError.empty()) {
        messages->m_nErrno = errno;
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        messages->m_strFirstError = OneLine(text);
        while (!messages->m_strFirstError.empty() && messages->m_strFirstError.back() == '.') {
            messages->m_strFirstError.pop_back();
        }
    }
    return 1;  // handled: libtiff prints nothing
}

int CTiffMessages::OnWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;  // what libtiff warns of while writing concerns nobody but us
}

std::string CTiffMessages::Reason(const std::string& fallback) const {
    if (m_strFirstError.empty()) {
        return fallback;
    }
    if (m_nErrno == 0) {
        return m_strFirstError;
    }
    return std::string(std::strerror(m_nErrno)) + " (" + m_strFirstError + ")";
}
