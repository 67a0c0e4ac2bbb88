#include "platform/files/FileResult.h"

#include <cstring>
#include <utility>

FileResult FileResult::Failure(std::string message) {
    FileResult result;
    result.m_bFailed = true;
    result.m_strError = std::move(message);
    return result;
}

FileResult FileResult::FromErrno(const char* verb, const std::string& path, int error) {
    FileResult result =
        Failure(std::string("cannot ") + verb + " " + path + ": " + std::strerror(error));
    result.m_nCode = error;
    return result;
}
