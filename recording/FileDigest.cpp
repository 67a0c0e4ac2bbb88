#include "recording/FileDigest.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/files/InputFile.h"

FileResult Sha256OfFile(const std::string& path, std::string* digest) {
    // A FIFO or a device named by a sidecar would never end (or never start): refused first.
    int fd = -1;
    if (FileResult opened = OpenRegularInput(path, &fd); !opened) {
        return opened;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(::fdopen(fd, "rb"), &std::fclose);
    if (!file) {
        const int error = errno;
        ::close(fd);
        return FileResult::FromErrno("read", path, error);
    }
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return FileResult::Failure("cannot compute a digest of " + path);
    }
    unsigned char buffer[65536];
    std::size_t count = 0;
    errno = 0;  // so a failed read below is told by its own reason
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        EVP_DigestUpdate(context.get(), buffer, count);
    }
    if (std::ferror(file.get())) {
        return FileResult::FromErrno("read", path, errno != 0 ? errno : EIO);
    }
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), bytes, &length);
    static const char kHex[] = "0123456789abcdef";
    digest->clear();
    for (unsigned int i = 0; i < length; ++i) {
        *digest += kHex[bytes[i] >> 4];
        *digest += kHex[bytes[i] & 15];
    }
    return {};
}
